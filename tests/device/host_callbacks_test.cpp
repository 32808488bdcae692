#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "automation/errors.h"
#include "automation/module_info.h"
#include "device/device_fixture.h"

namespace eqd::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::uint16_t kRefStr = VT_BYREF | VT_BSTR;
constexpr std::uint16_t kRefI4 = VT_BYREF | VT_I4;
constexpr std::uint16_t kRefVariant = VT_BYREF | VT_VARIANT;

std::vector<std::uint16_t> Types(const RecordedCall& c) { return {c.Types.begin(), c.Types.end()}; }

class HostCallbackTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    InitAndOpen();
    fs::create_directories(devices_ / "DEV1");
    host_->ClearCalls();
  }
  // Switches the trace on (into the device folder) and forgets the header.
  void TraceOn() {
    device_->SetSettingValue("DebugLogEnabled", Variant(true));
    ASSERT_EQ(device_->Enable(), 0);
    headerLines_ = TraceLines(devices_ / "DEV1").size();
  }
  std::vector<std::string> TraceAfterHeader() const {
    auto lines = TraceLines(devices_ / "DEV1");
    return {lines.begin() + static_cast<std::ptrdiff_t>(headerLines_), lines.end()};
  }
  std::size_t headerLines_ = 0;
};

TEST_F(HostCallbackTest, EachCallbackPassesItsArgumentsInOrder) {
  host_->Answer("DataEvent", Variant(true));
  host_->Answer("ErrorEvent", Variant(std::int32_t{0}));
  host_->Answer("MessageDlg", Variant("6"));
  host_->Answer("InputDataDlg", Variant("typed"));
  EXPECT_TRUE(device_->DataEvent("Scan", "123", Variant(std::int32_t{5})));
  EXPECT_FALSE(device_->ErrorEvent("E1", "сбой"));
  EXPECT_EQ(device_->ShowMessageDlg("Текст", 1, 2, 30), 6);
  EXPECT_EQ(device_->InputDataDlg("Заголовок", "по умолчанию", "Описание", "#", true, 10), "typed");

  const auto& c = host_->Calls();
  ASSERT_EQ(c.size(), 4u);
  EXPECT_EQ(c[0].Method, "DataEvent");
  EXPECT_THAT(Types(c[0]), ElementsAre(VT_BSTR, VT_BSTR, VT_BSTR, kRefVariant));
  EXPECT_EQ(c[0].Args[0].StrValue(), "DEV1");
  EXPECT_EQ(c[0].Args[2].StrValue(), "123");
  EXPECT_TRUE(SameValue(c[0].Args[3], Variant(std::int32_t{5})));
  EXPECT_EQ(c[1].Method, "ErrorEvent");
  EXPECT_THAT(Types(c[1]), ElementsAre(VT_BSTR, VT_BSTR, VT_BSTR, kRefVariant));
  EXPECT_EQ(c[2].Method, "MessageDlg");
  EXPECT_THAT(Types(c[2]), ElementsAre(VT_BSTR, VT_BSTR, kRefI4, kRefI4, kRefI4));
  EXPECT_EQ(c[2].Args[4].IntValue(), 30);
  EXPECT_EQ(c[3].Method, "InputDataDlg");
  EXPECT_THAT(Types(c[3]), ElementsAre(VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR, VT_BSTR, VT_BOOL, kRefI4));
  EXPECT_TRUE(c[3].Args[5].BoolValue());  // an automation true, -1 at the boundary
  EXPECT_EQ(c[3].Args[2].StrValue(), "по умолчанию");
}

TEST_F(HostCallbackTest, GetAppPropertyTakesTheValueOnlyWhenTheHostSaysTrue) {
  for (bool answer : {true, false}) {
    host_->AnswerWith("GetAppProperty", [answer](std::vector<Variant>& args) {
      args[2].Deref() = Variant("/somewhere");
      return Variant(answer);
    });
    EXPECT_EQ(device_->GetAppProperty("DevicesFolder"), answer ? "/somewhere" : "");
  }
}

TEST_F(HostCallbackTest, HostErrorsAndUnreadableAnswersReachTheCaller) {
  host_->Fail("MessageDlg", "нет такого метода");
  try {
    device_->ShowMessageDlg("x", 0, 0, 0);
    ADD_FAILURE() << "no error";
  } catch (const EDriverError& e) {
    EXPECT_STREQ(e.what(), "нет такого метода");
  }
  host_->Answer("DataEvent", Variant::Array({Variant(1)}));
  EXPECT_THROW(device_->DataEvent("e", "d"), EConvertError);
}

TEST_F(HostCallbackTest, WithoutAManagerNothingIsCalled) {
  Private("Close", {});
  EXPECT_THROW(device_->GetAppProperty("Language"), EDriverError);
  EXPECT_THROW(device_->DataEvent("e", "d"), EDriverError);
  EXPECT_THROW(device_->ErrorEvent("e", "d"), EDriverError);
  EXPECT_THROW(device_->ShowMessageDlg("m", 0, 0, 0), EDriverError);
  EXPECT_THROW(device_->InputDataDlg("c", "", "", "", false, 0), EDriverError);
  EXPECT_THROW(device_->TaskState(1, "d"), EDriverError);
  EXPECT_THAT(host_->Calls(), IsEmpty());
}

TEST_F(HostCallbackTest, DataEventIsTracedWithWhatTheHostLeftInExtData) {
  TraceOn();
  host_->Answer("DataEvent", Variant(true));
  device_->DataEvent("Scan", "123");
  device_->DataEvent("Scan", "456", Variant(std::int32_t{5}));
  host_->AnswerWith("DataEvent", [](std::vector<Variant>& args) {
    args[3].Deref() = Variant("ответ");
    return Variant(false);
  });
  device_->DataEvent("Scan", "789");
  EXPECT_THAT(TraceAfterHeader(), ElementsAre("<-DataEvent: \tEvent=Scan; Data: 123",
                                              "<-DataEvent: \tEvent=Scan; Data: 456; ExtData: 5",
                                              "<-DataEvent: \tEvent=Scan; Data: 789; ExtData: 'ответ'"));
}

TEST_F(HostCallbackTest, TaskStateLogsThePercentTheHostLeft) {
  TraceOn();
  device_->SetEventLogEnabled(true);
  host_->AnswerWith("TaskState", [](std::vector<Variant>& args) {
    args[1].Deref() = Variant(std::int32_t{60});
    return Variant(true);
  });
  host_->Answer("WriteLog", Variant(true));
  EXPECT_TRUE(device_->TaskState(50, "Copy"));

  EXPECT_THAT(host_->Methods(), ElementsAre("TaskState", "WriteLog"));
  const RecordedCall& task = host_->Calls()[0];
  EXPECT_THAT(Types(task), ElementsAre(VT_BSTR, kRefI4, VT_BSTR));
  EXPECT_EQ(task.Args[1].IntValue(), 50);
  const RecordedCall& log = host_->Calls()[1];
  EXPECT_THAT(Types(log), ElementsAre(VT_BSTR, VT_BSTR, VT_BSTR, kRefI4));
  EXPECT_EQ(log.Args[0].StrValue(), "DEV1");
  EXPECT_EQ(log.Args[1].StrValue(), "TaskState");
  EXPECT_EQ(log.Args[2].StrValue(), "Percent=60; Description=Copy; Result=True");
  EXPECT_EQ(log.Args[3].IntValue(), 1);
  EXPECT_THAT(TraceAfterHeader(), ElementsAre("TaskState: \tPercent=60; Description=Copy; Result=True"));
}

TEST_F(HostCallbackTest, WriteLogGoesWhereItIsAllowedTo) {
  host_->Answer("WriteLog", Variant(true));
  // Trace off, event log on: the host only.
  device_->SetEventLogEnabled(true);
  EXPECT_TRUE(device_->WriteLog("n", "t", 3));
  EXPECT_THAT(host_->Methods(), ElementsAre("WriteLog"));
  EXPECT_FALSE(fs::exists(devices_ / "DEV1" / "Debug_2024.03.05.log"));

  // Trace on, event log off: one trace line, no host call, false.
  host_->ClearCalls();
  TraceOn();
  device_->SetEventLogEnabled(false);
  EXPECT_FALSE(device_->WriteLog("n", "t", 3));
  EXPECT_THAT(host_->Calls(), IsEmpty());
  EXPECT_THAT(TraceAfterHeader(), ElementsAre("n: \tt"));
}

TEST_F(DeviceTest, DebugLogHeaderOncePerSwitchOn) {
  // Before "Open" the device identifier is empty and, without a device folder, the
  // trace goes to the driver's own folder.
  device_->SetSettingValue("DebugLogEnabled", Variant(true));
  ASSERT_EQ(device_->Enable(), 0);
  const fs::path defaultFolder = scratch_.Data() / "vlm_dodezoz41";
  auto lines = TraceLines(defaultFolder);
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[3], "device ID: \t");

  ASSERT_EQ(device_->Enable(), 0);  // already on: no header
  EXPECT_EQ(TraceLines(defaultFolder).size(), 11u);

  device_->SetSettingValue("DebugLogEnabled", Variant(false));
  ASSERT_EQ(device_->Enable(), 0);
  device_->SetSettingValue("DebugLogEnabled", Variant(true));
  device_->SetSettingValue("Host", Variant("other"));
  ASSERT_EQ(device_->Enable(), 0);  // off, then on again: a new header with today's values
  lines = TraceLines(defaultFolder);
  ASSERT_EQ(lines.size(), 22u);
  EXPECT_EQ(lines[11], std::string(40, ' '));
  EXPECT_EQ(lines[19], "Host: \t'other'");
}

TEST_F(DeviceTest, DeviceInfoReportsDefaultsAndMakersData) {
  device_->FDeviceInfo.DriverURL = "https://korventa.example/driver";
  device_->FDeviceInfo.DriverDescription = "не сообщается";
  const TPublicCall call = Public("GetDeviceInfo");
  ASSERT_TRUE(call.Ok);
  ASSERT_EQ(call.OutData.Vt(), VT_ARRAY | VT_VARIANT);
  const SafeArray& a = *call.OutData.ArrayValue();
  ASSERT_EQ(a.DimCount(), 1u);
  EXPECT_EQ(a.LowBound(0), 0);
  ASSERT_EQ(a.HighBound(0), 14);
  const TModuleVersion v = GetModuleVersion();
  const Variant expected[] = {Variant("Unknown"),
                              Variant(""),
                              Variant(""),
                              Variant(std::int32_t{v.Major}),
                              Variant(std::int32_t{v.Minor}),
                              Variant(std::int32_t{v.Build}),
                              Variant(""),
                              Variant(std::int32_t{1}),
                              Variant(false),
                              Variant(""),
                              Variant("Korventa"),
                              Variant("support@korventa.example"),
                              Variant("https://korventa.example"),
                              Variant(device_->DeviceInfo().CI_Phones),
                              Variant(device_->DeviceInfo().CI_address)};
  for (std::int64_t i = 0; i < 15; ++i)
    EXPECT_TRUE(SameValue(a.At({i}), expected[i])) << i << ": " << ValueToText(a.At({i}));
  EXPECT_FALSE(device_->DeviceInfo().CI_Phones.empty());
  EXPECT_FALSE(device_->DeviceInfo().CI_address.empty());

  // The record is read at the time of the call.
  device_->FDeviceInfo.ModelName = "Позже";
  EXPECT_EQ(Public("GetDeviceInfo").OutData.ArrayValue()->At({2}).StrValue(), "Позже");

  EXPECT_EQ(device_->GetDeviceVersion(),
            std::to_string(v.Major) + "." + std::to_string(v.Minor) + "." + std::to_string(v.Build));
}

TEST_F(DeviceTest, AdditionalActionsAndDeviceTestDefaults) {
  EXPECT_EQ(device_->AddActionsCount(), 0);
  device_->FAdditionalActions.push_back({"clean", "Очистить"});
  EXPECT_EQ(device_->GetAddAction(0)->Caption, "Очистить");
  EXPECT_EQ(device_->GetAddAction(-1), nullptr);
  EXPECT_EQ(device_->GetAddAction(device_->AddActionsCount()), nullptr);
  std::string description = "x";
  EXPECT_EQ(device_->RunAdditionalAction("anything", description), 0);
  EXPECT_FALSE(device_->DeviceTest(description));
  EXPECT_EQ(description, "Команда не поддерживается устройством");
}

}  // namespace
}  // namespace eqd::test
