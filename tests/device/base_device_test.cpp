#include "device/base_device.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "automation/errors.h"
#include "automation/file_system.h"
#include "automation/module_info.h"
#include "automation/result_codes.h"
#include "device/device_fixture.h"
#include "device/device_texts.h"
#include "platform/files.h"

namespace eqd::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::string Delimited(const fs::path& p) { return p.string() + platform::kPathDelimiter; }

// The pair [code, description] a failed public call leaves in OutData.
void ExpectFailure(const TPublicCall& call, std::int32_t code, const std::string& description) {
  EXPECT_FALSE(call.Ok);
  ASSERT_TRUE(call.OutData.IsArray());
  const auto& e = call.OutData.ArrayValue()->Elements();
  ASSERT_EQ(e.size(), 2u);
  EXPECT_EQ(e[0].IntValue(), code);
  EXPECT_EQ(e[1].StrValue(), description);
}

TEST_F(DeviceTest, NewDeviceHasStandardMethodsCommonSettingsAndNoHost) {
  EXPECT_EQ(device_->DeviceState(), dsCreated);
  EXPECT_FALSE(device_->Enabled());
  EXPECT_EQ(device_->MainThreadID(), kNoMainThreadID);
  EXPECT_THAT(device_->DeviceID(), IsEmpty());
  EXPECT_TRUE(device_->EqManager().IsEmpty());
  EXPECT_NE(device_->DeviceHandle(), platform::WindowHandle{0});
  EXPECT_NE(device_->DeviceHandle(), kNoDeviceHandle);

  const char* names[] = {"Init",        "Open",    "Close",       "ShowSettingsDlg", "GetDeviceInfo",
                         "Enable",      "Disable", "GetSettings", "SetSettings",     "CheckHealth"};
  const auto& methods = device_->Methods();
  ASSERT_GE(methods.size(), 10u);
  for (std::size_t i = 0; i < 10; ++i) {
    EXPECT_EQ(methods[i].Name, names[i]);
    EXPECT_EQ(methods[i].IsPublic, i >= 3) << names[i];
    EXPECT_FALSE(methods[i].IsSpecific);
  }

  struct Expected {
    const char* ID;
    Variant Default;
    TDataType Type;
    const char* Name;
  } settings[] = {
      {"DefaultTimeOut", Variant(std::int32_t{120}), dtNumber, "Таймаут по умолчанию"},
      {"EventLogEnabled", Variant(false), dtBoolean, "Журнал событий"},
      {"DebugLogEnabled", Variant(false), dtBoolean, "Отладочный лог"},
  };
  for (int i = 0; i < 3; ++i) {
    const PSettingStruct s = device_->GetSetting(i);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->ID, settings[i].ID);
    EXPECT_TRUE(SameValue(s->Value, settings[i].Default)) << s->ID;
    EXPECT_TRUE(SameValue(s->Default, settings[i].Default)) << s->ID;
    EXPECT_EQ(s->ValueType, settings[i].Type);
    EXPECT_FALSE(s->ReadOnly);
    EXPECT_EQ(s->Name, settings[i].Name);
  }
  EXPECT_EQ(device_->GetSetting(0)->Description,
            "Таймаут по умолчанию. Используется в случае, если при вызове метода параметр Timeout равен 0");
  EXPECT_EQ(device_->DefaultTimeOut(), 120);
  device_->SetDefaultTimeOut(30);
  EXPECT_EQ(device_->GetSettingValue("DefaultTimeOut").Vt(), VT_I4);
  device_->SetEventLogEnabled(true);
  EXPECT_TRUE(device_->EventLogEnabled());
}

TEST_F(DeviceTest, InitializeAndDestroyRunTheHooksInOrder) {
  std::vector<std::string> journal;
  {
    TDeviceOwner<TTestDevice> device(new TTestDevice);
    device->Journal = &journal;
    device->Initialize();
    EXPECT_THAT(journal, ElementsAre("OnCreate", "OnSetDeviceInfo", "RegisterMethods", "RegisterSettings"));
    journal.clear();
  }
  // Release disables the device first, then lets the class free its own things.
  EXPECT_THAT(journal, ElementsAre("OnDisable", "OnDestroy"));
}

// The whole life the host gives a device, with the host's calls and the trace checked.
TEST_F(DeviceTest, HostDrivesTheDeviceThroughItsLife) {
  fs::create_directories(devices_ / "DEV1");

  TPrivateCall init = Private("Init", {Variant(DispatchPtr(host_)), Variant()});
  EXPECT_TRUE(init.Result.BoolValue());
  EXPECT_EQ(init.Params.Elements()[1].StrValue(), "Нет ошибок");
  EXPECT_EQ(device_->DeviceState(), dsInited);
  EXPECT_EQ(device_->Language(), "ru");
  EXPECT_EQ(device_->ModelFolder(), Delimited(scratch_.Path() / "models"));

  TPrivateCall open = Private("Open", {Variant("DEV1"), Variant()});
  EXPECT_TRUE(open.Result.BoolValue());
  EXPECT_EQ(open.Params.Elements()[1].StrValue(), "Нет ошибок");
  EXPECT_EQ(device_->DeviceState(), dsInited);
  EXPECT_EQ(device_->DeviceID(), "DEV1");
  EXPECT_EQ(device_->DeviceFolder(), Delimited(devices_ / "DEV1"));
  EXPECT_NE(device_->MainThreadID(), kNoMainThreadID);

  // The host was asked for its folders and language, with the device identifier first
  // (empty before "Open"), every argument a string by reference.
  const auto& calls = host_->Calls();
  ASSERT_EQ(calls.size(), 3u);
  const char* props[] = {"ModelsFolder", "Language", "DevicesFolder"};
  const char* ids[] = {"", "", "DEV1"};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(calls[i].Method, "GetAppProperty");
    ASSERT_EQ(calls[i].Args.size(), 3u);
    EXPECT_EQ(calls[i].Args[0].StrValue(), ids[i]);
    EXPECT_EQ(calls[i].Args[1].StrValue(), props[i]);
    EXPECT_EQ(calls[i].Args[2].StrValue(), "");
    for (VarType t : calls[i].Types) EXPECT_EQ(t, VT_BYREF | VT_BSTR);
  }

  SafeArray s({ArrayBound{0, 2}, ArrayBound{0, 1}});
  s.At({0, 0}) = Variant("DebugLogEnabled");
  s.At({1, 0}) = Variant(true);
  EXPECT_TRUE(Public("SetSettings", Variant::Array({Variant(std::move(s))})).Ok);
  EXPECT_EQ(device_->SettingsChangedCount, 1);

  journal_.clear();
  EXPECT_TRUE(Public("Enable").Ok);
  EXPECT_EQ(device_->DeviceState(), dsEnabled);
  EXPECT_TRUE(Public("CheckHealth").Ok);  // enabled: healthy without any work
  EXPECT_EQ(device_->DeviceState(), dsEnabled);
  EXPECT_TRUE(Public("Disable").Ok);
  EXPECT_EQ(device_->DeviceState(), dsInited);
  EXPECT_TRUE(Private("Close", {}).Result.BoolValue());
  EXPECT_EQ(device_->DeviceState(), dsInited);
  EXPECT_THAT(device_->DeviceID(), IsEmpty());
  EXPECT_FALSE(device_->HasEqManager());
  EXPECT_THAT(journal_, ElementsAre("OnEnable", "OnDisable", "OnBeforeClose", "OnClose"));

  // The header opens the trace in the device folder; the "Enable" that switched the
  // trace on writes no lines of its own, the calls after it are traced.
  const auto lines = TraceLines(devices_ / "DEV1");
  ASSERT_EQ(lines.size(), 11u + 6u);
  EXPECT_EQ(lines[0], std::string(40, ' '));
  EXPECT_EQ(lines[1], "============Begin debug log=============");
  const TModuleVersion v = GetModuleVersion();
  EXPECT_EQ(lines[2], "driver ver.: \t" + std::to_string(v.Major) + "." + std::to_string(v.Minor) + "." +
                          std::to_string(v.Build));
  EXPECT_EQ(lines[3], "device ID: \tDEV1");
  EXPECT_EQ(lines[4], "----------------Settings----------------");
  EXPECT_EQ(lines[5], "DefaultTimeOut: \t120");
  EXPECT_EQ(lines[6], "EventLogEnabled: \tFalse");
  EXPECT_EQ(lines[7], "DebugLogEnabled: \tTrue");
  EXPECT_EQ(lines[8], "Host: \t'mail.example'");
  EXPECT_EQ(lines[9], "Locked: \t7");
  EXPECT_EQ(lines[10], "----------------------------------------");
  EXPECT_EQ(lines[11], "> CheckHealth: \tInData: EMPTY");
  EXPECT_EQ(lines[12], "< CheckHealth: \tResult=True; OutData: EMPTY");
  EXPECT_EQ(lines[13], "> Disable: \tInData: EMPTY");
  EXPECT_EQ(lines[14], "< Disable: \tResult=True; OutData: EMPTY");
  EXPECT_EQ(lines[15], "> Close: \tParams: [()]");
  EXPECT_EQ(lines[16], "< Close: \tResult=True; Params: [()]");
}

TEST_F(DeviceTest, InitRefusesAnythingButAnObject) {
  struct Case {
    const char* what;
    std::vector<Variant> args;
  } cases[] = {
      {"string", {Variant("host"), Variant()}},
      {"number", {Variant(std::int32_t{1}), Variant()}},
      {"Empty", {Variant(), Variant()}},
      {"Nothing", {Variant(DispatchPtr()), Variant()}},
  };
  for (Case& c : cases) {
    journal_.clear();
    TPrivateCall call = Private("Init", std::move(c.args));
    EXPECT_FALSE(call.Result.BoolValue()) << c.what;
    EXPECT_EQ(call.Params.Elements()[1].StrValue(), "Ошибка входных параметров команды") << c.what;
    EXPECT_THAT(journal_, IsEmpty()) << c.what;
    EXPECT_FALSE(device_->HasEqManager()) << c.what;
    EXPECT_EQ(device_->DeviceState(), dsCreated) << c.what;
  }
  // Nothing at all: the same refusal, and no description slot to write into.
  EXPECT_FALSE(Private("Init", {}).Result.BoolValue());
  EXPECT_THAT(host_->Calls(), IsEmpty());
}

TEST_F(DeviceTest, InitWithoutDescriptionSlotAndWithFailingHook) {
  TPrivateCall only = Private("Init", {Variant(DispatchPtr(host_))});
  EXPECT_TRUE(only.Result.BoolValue());
  EXPECT_EQ(only.Params.ElementCount(), 1u);
  EXPECT_EQ(device_->DeviceState(), dsInited);

  // A failing OnInit: its own text, the manager held, the state as it was.
  auto other = CreateDevice<TTestDevice>();
  other->InitAnswer = {1003, "не сейчас"};
  SafeArray p({ArrayBound{0, 2}});
  p.Elements() = {Variant(DispatchPtr(host_)), Variant()};
  Variant result;
  other->CallMethod(other->FindMethod("Init"), result, p);
  EXPECT_FALSE(result.BoolValue());
  EXPECT_EQ(p.Elements()[1].StrValue(), "не сейчас");
  EXPECT_TRUE(other->HasEqManager());
  EXPECT_EQ(other->DeviceState(), dsCreated);
}

TEST_F(DeviceTest, EmptyModelsFolderBecomesTheDelimiter) {
  host_->SetProperty("ModelsFolder", "");
  ASSERT_TRUE(Private("Init", {Variant(DispatchPtr(host_)), Variant()}).Result.BoolValue());
  EXPECT_EQ(device_->FModelsFolder, std::string(1, platform::kPathDelimiter));
  device_->FDeviceInfo.ModelID = "M1";
  EXPECT_EQ(device_->ModelFolder(), std::string(1, platform::kPathDelimiter) + "M1" + platform::kPathDelimiter);
}

TEST_F(DeviceTest, OpenWorksOutTheDeviceFolder) {
  const std::string d(1, platform::kPathDelimiter);
  struct Case {
    std::string devicesFolder;
    std::string id;
    std::string expected;
  } cases[] = {
      {d + "dev", "DEV1", d + "dev" + d + "DEV1" + d},
      {d + "dev" + d, "DEV1", d + "dev" + d + "DEV1" + d},
      {"", "DEV1", ""},
      {d + "dev", "", ""},
      // The identifier names a folder directly in DevicesFolder, never one elsewhere.
      {d + "dev", ".." + d + "victim", d + "dev" + d + "___victim" + d},
      {d + "dev", "COM1", d + "dev" + d + "COM1_" + d},
  };
  for (const Case& c : cases) {
    host_->SetProperty("DevicesFolder", c.devicesFolder);
    Private("Init", {Variant(DispatchPtr(host_)), Variant()});
    EXPECT_TRUE(Private("Open", {Variant(c.id), Variant()}).Result.BoolValue());
    EXPECT_EQ(device_->DeviceFolder(), c.expected) << c.devicesFolder << " + " << c.id;
  }
}

TEST_F(DeviceTest, OpenRefusesNonStringsAndNeedsTheHost) {
  // Without a manager the host hears of it as an error of the call.
  try {
    Variant r;
    SafeArray p({ArrayBound{0, 2}});
    p.Elements() = {Variant("DEV1"), Variant()};
    device_->CallMethod(device_->FindMethod("Open"), r, p);
    ADD_FAILURE() << "no error";
  } catch (const EDriverError& e) {
    EXPECT_STREQ(e.what(), "Менеджер оборудования недоступен");
  }

  ASSERT_TRUE(Private("Init", {Variant(DispatchPtr(host_)), Variant()}).Result.BoolValue());
  device_->OpenAnswer = {1020, ""};
  TPrivateCall failed = Private("Open", {Variant("DEV1"), Variant()});
  EXPECT_FALSE(failed.Result.BoolValue());
  EXPECT_EQ(failed.Params.Elements()[1].StrValue(), "Неверные параметры устройства");

  journal_.clear();
  TPrivateCall number = Private("Open", {Variant(std::int32_t{5}), Variant()});
  EXPECT_FALSE(number.Result.BoolValue());
  EXPECT_EQ(number.Params.Elements()[1].StrValue(), "Ошибка входных параметров команды");
  EXPECT_THAT(device_->DeviceID(), IsEmpty());
  EXPECT_THAT(journal_, IsEmpty());
  EXPECT_EQ(device_->DeviceState(), dsInited);
}

TEST_F(DeviceTest, CloseOnEnabledDeviceKeepsItEnabledAndDropsTheHost) {
  InitAndOpen();
  ASSERT_TRUE(Public("Enable").Ok);
  host_->ClearCalls();
  EXPECT_TRUE(Private("Close", {}).Result.BoolValue());
  EXPECT_EQ(device_->DeviceState(), dsEnabled);
  EXPECT_THAT(device_->DeviceID(), IsEmpty());
  EXPECT_THROW(device_->DataEvent("e", "d"), EDriverError);
  device_->SetEventLogEnabled(true);
  EXPECT_FALSE(device_->WriteLog("n", "t", 1));
  EXPECT_THAT(host_->Calls(), IsEmpty());
}

TEST_F(DeviceTest, EnableAndDisableFollowTheirHooks) {
  // No state check: "Enable" before "Init" calls the hook all the same.
  device_->EnableAnswer = {1007, ""};
  ExpectFailure(Public("Enable"), 1007, "Устройство не отвечает");
  EXPECT_EQ(device_->DeviceState(), dsCreated);
  device_->EnableAnswer = {1020, "порт 25 закрыт"};
  ExpectFailure(Public("Enable"), 1020, "порт 25 закрыт");

  device_->EnableAnswer = {};
  journal_.clear();
  EXPECT_TRUE(Public("Enable").Ok);
  EXPECT_TRUE(Public("Enable").Ok);  // again: the hook runs again
  EXPECT_THAT(journal_, ElementsAre("OnEnable", "OnEnable"));

  device_->DisableAnswer = {1009, ""};
  ExpectFailure(Public("Disable"), 1009, "Устройство занято");
  EXPECT_EQ(device_->DeviceState(), dsEnabled);

  // The Enabled property acts only on a change.
  device_->DisableAnswer = {};
  journal_.clear();
  device_->SetEnabled(true);
  device_->SetEnabled(false);
  device_->SetEnabled(false);
  EXPECT_THAT(journal_, ElementsAre("OnDisable"));
  EXPECT_EQ(device_->DeviceState(), dsInited);  // also for a device never "Init"-ed
}

// A directory planted where the day's trace file goes: each call fails with the file
// error, yet "SetSettings", "Disable", "Close" and "Enable" still do their work and switch
// the trace off, so the host recovers without a restart.
TEST_F(DeviceTest, TheHostRecoversFromATraceFileThatCannotBeWritten) {
  const auto call = [this](std::string_view name, std::vector<Variant> args) {
    SafeArray params({ArrayBound{0, static_cast<std::uint32_t>(args.size())}});
    params.Elements() = std::move(args);
    Variant result;
    device_->CallMethod(device_->FindMethod(name), result, params);
  };
  const std::vector<Variant> publicArgs{Variant(), Variant(), Variant(std::int32_t{0})};
  SafeArray traceOff({ArrayBound{0, 2}, ArrayBound{0, 1}});
  traceOff.At({0, 0}) = Variant("DebugLogEnabled");
  traceOff.At({1, 0}) = Variant(false);
  const struct {
    const char* method;
    std::vector<Variant> args;
    std::function<void()> before;
    std::function<bool()> done;
  } cases[] = {
      {"SetSettings", {Variant::Array({Variant(traceOff)}), Variant(), Variant(std::int32_t{0})}, [] {},
       [this] { return !device_->GetSettingValueBool("DebugLogEnabled"); }},
      {"Disable", publicArgs, [] {}, [this] { return device_->DeviceState() == dsInited; }},
      {"Close", {}, [] {}, [this] { return device_->DeviceID().empty(); }},
      {"Enable", publicArgs, [this] { device_->SetSettingValue("DebugLogEnabled", Variant(false)); },
       [this] { return device_->DeviceState() == dsEnabled && !journal_.empty() && journal_.back() == "OnEnable"; }},
  };
  const fs::path day = devices_ / "DEV1" / "Debug_2024.03.05.log";
  for (const auto& c : cases) {
    device_ = CreateDevice<TTestDevice>();
    device_->Journal = &journal_;
    device_->SetTraceClock([] { return kTraceTime; });
    fs::remove_all(devices_ / "DEV1");
    fs::create_directories(devices_ / "DEV1");
    InitAndOpen();
    device_->SetSettingValue("DebugLogEnabled", Variant(true));
    ASSERT_TRUE(Public("Enable").Ok);
    if (std::string_view(c.method) == "Enable") {
      ASSERT_TRUE(Public("Disable").Ok);
    }
    // A folder under every name the trace may use: no line can be written.
    for (const std::string& name : LogFileNames(day.filename().string())) {
      fs::remove(day.parent_path() / name);
      fs::create_directory(day.parent_path() / name);
    }

    EXPECT_THROW(call("GetDeviceInfo", publicArgs), EInOutError);
    c.before();
    journal_.clear();
    try {
      call(c.method, c.args);
      ADD_FAILURE() << c.method << ": the trace failure was not reported";
    } catch (const EInOutError& e) {
      EXPECT_THAT(e.what(), ::testing::HasSubstr(day.string())) << c.method;
    }
    EXPECT_TRUE(c.done()) << c.method;
    EXPECT_FALSE(device_->DebugLogEnabled()) << c.method;
    EXPECT_TRUE(Public("GetDeviceInfo").Ok) << c.method;
  }
}

TEST_F(DeviceTest, CheckHealthSwitchesADisabledDeviceOnAndOffAgain) {
  device_->EnableAnswer = {1001, "свой текст"};
  journal_.clear();
  ExpectFailure(Public("CheckHealth"), 1001, "Неизвестная ошибка");
  EXPECT_THAT(journal_, ElementsAre("OnEnable", "OnDisable"));
  EXPECT_EQ(device_->DeviceState(), dsInited);

  device_->EnableAnswer = {};
  journal_.clear();
  EXPECT_TRUE(Public("CheckHealth").Ok);
  EXPECT_THAT(journal_, ElementsAre("OnEnable", "OnDisable"));
  EXPECT_EQ(device_->DeviceState(), dsInited);
}

TEST_F(DeviceTest, ShowSettingsDlgNeedsASettingsWindow) {
  ExpectFailure(Public("ShowSettingsDlg"), 1003, "Команда не поддерживается устройством");
  device_->FDeviceInfo.IsSettingsDlgExist = true;
  device_->ShowSettingsAnswer = false;
  ExpectFailure(Public("ShowSettingsDlg"), 201, "Операция отменена пользователем");
  device_->ShowSettingsAnswer = true;
  TPublicCall ok = Public("ShowSettingsDlg");
  EXPECT_TRUE(ok.Ok);
  EXPECT_TRUE(ok.OutData.IsEmpty());
}

class TFakeSettingsWindow : public TSettingsWindow {
 public:
  struct Log {
    std::vector<TSettingsPageClass> pages;
    bool deviceTestVisible = false;
    std::size_t focusDepthWhileShown = 0;
  };
  TFakeSettingsWindow(TBaseDevice& device, Log& log, bool answer, bool fail)
      : device_(device), log_(log), answer_(answer), fail_(fail) {}
  void SetDeviceTestVisible(bool visible) override { log_.deviceTestVisible = visible; }
  bool ShowModal() override {
    log_.focusDepthWhileShown = device_.FocusDepth();
    if (fail_) throw EDriverError("окно сломалось");
    return answer_;
  }

 private:
  TBaseDevice& device_;
  Log& log_;
  bool answer_, fail_;
};

TEST_F(DeviceTest, ShowSettingsFormHandsTheFocusOverAndBack) {
  EXPECT_THROW(device_->ShowSettingsForm({"TfrmMainSettings"}, false), EDriverError);  // no window here
  EXPECT_EQ(device_->FocusDepth(), 0u);

  TFakeSettingsWindow::Log log;
  bool answer = true, fail = false;
  SetSettingsWindowFactory([&](TBaseDevice& d, const std::vector<TSettingsPageClass>& pages) {
    log.pages = pages;
    return std::make_unique<TFakeSettingsWindow>(d, log, answer, fail);
  });
  EXPECT_TRUE(device_->ShowSettingsForm({"TfrmMainSettings", "TfrmOther"}, false));
  EXPECT_THAT(log.pages, ElementsAre("TfrmMainSettings", "TfrmOther"));
  EXPECT_TRUE(log.deviceTestVisible);
  EXPECT_EQ(log.focusDepthWhileShown, 1u);
  EXPECT_EQ(device_->FocusDepth(), 0u);
  EXPECT_EQ(device_->SettingsChangedCount, 1);

  answer = false;
  EXPECT_FALSE(device_->ShowSettingsForm({}, true));
  EXPECT_FALSE(log.deviceTestVisible);
  EXPECT_EQ(device_->SettingsChangedCount, 2);  // whatever the window's answer

  fail = true;
  EXPECT_THROW(device_->ShowSettingsForm({}, true), EDriverError);
  EXPECT_EQ(device_->FocusDepth(), 0u);
  SetSettingsWindowFactory(nullptr);
}

TEST_F(DeviceTest, FocusStackWithoutForegroundWindowOnlyCounts) {
  device_->RestoreFocus();  // empty: nothing
  EXPECT_EQ(device_->FocusDepth(), 0u);
  device_->StoreFocus();
  device_->StoreFocus();
  EXPECT_EQ(device_->FocusDepth(), 2u);
  device_->RestoreFocus();
  device_->RestoreFocus();
  device_->RestoreFocus();
  EXPECT_EQ(device_->FocusDepth(), 0u);
}

TEST_F(DeviceTest, HiddenWindowMessagesReachWndProcUntilDestroy) {
  EXPECT_EQ(device_->SendDeviceMessage(0x0400, 1, 2), 42);
  EXPECT_THAT(device_->Messages, ElementsAre(0x0400u));
  device_->Destroy();
  EXPECT_EQ(device_->DeviceHandle(), kNoDeviceHandle);
  EXPECT_EQ(device_->SendDeviceMessage(0x0400), 0);
  EXPECT_EQ(device_->Messages.size(), 1u);
}

}  // namespace
}  // namespace eqd::test
