// A device class whose hooks record their calls and answer what the test sets, a
// recording equipment manager, and calls by name the way the host makes them. The
// driver's data folder and the device folders live in the test's own scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "automation/format_fixture.h"
#include "automation/scratch_folder.h"
#include "automation/windows1251.h"
#include "device/base_device.h"
#include "device/recording_eq_manager.h"

namespace eqd::test {

inline constexpr platform::LocalTime kTraceTime{2024, 3, 5, 12, 34, 56, 7};

// What a hook answers: a code and a description of its own.
struct THookAnswer {
  std::int32_t Code = 0;
  std::string Description;
};

class TTestDevice : public TBaseDevice {
 public:
  std::vector<std::string>* Journal = nullptr;  // where the hooks write their names
  THookAnswer InitAnswer, OpenAnswer, EnableAnswer, DisableAnswer;
  bool ShowSettingsAnswer = true;
  int SettingsChangedCount = 0;
  std::vector<std::uint32_t> Messages;

  using TBaseDevice::FAdditionalActions;
  using TBaseDevice::FDeviceInfo;
  using TBaseDevice::FModelsFolder;

 protected:
  void Note(const std::string& hook) {
    if (Journal != nullptr) Journal->push_back(hook);
  }
  static std::int32_t Answer(const THookAnswer& a, std::string& description) {
    description = a.Description;
    return a.Code;
  }
  void RegisterSettings() override {
    TBaseDevice::RegisterSettings();
    Note("RegisterSettings");
    AddSetting("Host", dtString, Variant("mail.example"), false, "Сервер", "Имя сервера");
    AddSetting("Locked", dtNumber, Variant(std::int32_t{7}), true, "Закрыто", "Только для чтения");
  }
  void RegisterMethods() override {
    TBaseDevice::RegisterMethods();
    Note("RegisterMethods");
  }
  void OnCreate() override { Note("OnCreate"); }
  void OnDestroy() override { Note("OnDestroy"); }
  void OnSetDeviceInfo() override { Note("OnSetDeviceInfo"); }
  void OnSettingsChanged() override { ++SettingsChangedCount; }
  std::int32_t OnInit(std::string& d) override {
    Note("OnInit");
    return Answer(InitAnswer, d);
  }
  std::int32_t OnOpen(std::string& d) override {
    Note("OnOpen");
    return Answer(OpenAnswer, d);
  }
  std::int32_t OnEnable(std::string& d) override {
    Note("OnEnable");
    return Answer(EnableAnswer, d);
  }
  std::int32_t OnDisable(std::string& d) override {
    Note("OnDisable");
    return Answer(DisableAnswer, d);
  }
  void OnBeforeClose() override { Note("OnBeforeClose"); }
  void OnClose() override { Note("OnClose"); }
  bool ShowSettings() override { return ShowSettingsAnswer; }
  void WndProc(platform::WindowMessage& m) override {
    Messages.push_back(m.Msg);
    m.Result = 42;
    m.Handled = true;
  }
};

// The outcome of a private method ("Init", "Open", "Close").
struct TPrivateCall {
  Variant Result;
  SafeArray Params;
};

// The outcome of a public method.
struct TPublicCall {
  bool Ok = false;
  Variant OutData;
};

class DeviceTest : public eqd::testing::RussianFormatsTest {
 protected:
  void SetUp() override {
    RussianFormatsTest::SetUp();
    device_ = CreateDevice<TTestDevice>();
    device_->Journal = &journal_;
    device_->SetTraceClock([] { return kTraceTime; });
    host_ = RecordingEqManager::Create();
    devices_ = scratch_.Path() / "devices";
    host_->SetProperty("DevicesFolder", devices_.string());
    host_->SetProperty("ModelsFolder", (scratch_.Path() / "models").string());
    host_->SetProperty("Language", "ru");
  }

  TPrivateCall Private(std::string_view name, std::vector<Variant> args) {
    TPrivateCall call{Variant(), SafeArray({ArrayBound{0, static_cast<std::uint32_t>(args.size())}})};
    call.Params.Elements() = std::move(args);
    const std::int32_t method = device_->FindMethod(name);
    EXPECT_GE(method, 0) << name;
    EXPECT_EQ(device_->CallMethod(method, call.Result, call.Params), hrOk);
    return call;
  }
  TPublicCall Public(std::string_view name, Variant inData = Variant()) {
    SafeArray params({ArrayBound{0, 3}});
    params.Elements() = {std::move(inData), Variant(), Variant(std::int32_t{0})};
    Variant result;
    const std::int32_t method = device_->FindMethod(name);
    EXPECT_GE(method, 0) << name;
    EXPECT_EQ(device_->CallMethod(method, result, params), hrOk);
    EXPECT_EQ(result.Vt(), VT_BOOL);
    return {result.BoolValue(), params.Elements()[1]};
  }
  // "Init" with the recording host, then "Open" with the identifier.
  void InitAndOpen(const std::string& id = "DEV1") {
    ASSERT_TRUE(Private("Init", {Variant(DispatchPtr(host_)), Variant()}).Result.BoolValue());
    ASSERT_TRUE(Private("Open", {Variant(id), Variant()}).Result.BoolValue());
  }

  // The lines of the day's trace file in a folder, decoded, each without its time stamp
  // and instance prefix.
  std::vector<std::string> TraceLines(const std::filesystem::path& folder) const {
    const std::string text = eqd::testing::ReadFile(folder / "Debug_2024.03.05.log");
    const std::string prefix = "2024.03.05 12:34:56.007 Inst.: " + device_->InstanceID() + "\t";
    std::vector<std::string> lines;
    std::size_t pos = 0;
    for (std::size_t end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2) {
      const std::string line = Windows1251ToUtf8(text.substr(pos, end - pos));
      lines.push_back(line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : "(no prefix) " + line);
    }
    return lines;
  }

  eqd::testing::ScratchFolder scratch_;
  std::filesystem::path devices_;
  std::vector<std::string> journal_;
  TDeviceOwner<TTestDevice> device_;
  std::shared_ptr<RecordingEqManager> host_;
};

}  // namespace eqd::test
