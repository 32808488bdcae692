#include "automation/base_object.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "automation/errors.h"
#include "format_fixture.h"

namespace eqd {
namespace {

using ::testing::ElementsAre;

// Params as the COM layer builds them: one dimension, zero-based.
SafeArray Params(std::vector<Variant> items) {
  SafeArray a({ArrayBound{0, static_cast<std::uint32_t>(items.size())}});
  a.Elements() = std::move(items);
  return a;
}

TEST(MethodTableTest, NamesFoldAsciiCaseOnlyAndRegisteringAgainKeepsTheDispid) {
  TBaseObject obj;
  obj.AddPrivateMethod("Init", [](SafeArray&) { return Variant(); });
  obj.AddPublicMethod("SendMail", [](Variant&, Variant&, std::int32_t, std::string&) { return 0; });
  obj.AddSpecificMethod("Отправить", [](Variant&, Variant&, std::int32_t, std::string&) { return 0; });
  EXPECT_EQ(obj.FindMethod("init"), 0);
  EXPECT_EQ(obj.FindMethod("sendmail"), 1);
  EXPECT_EQ(obj.FindMethod("SENDMAIL"), 1);
  EXPECT_EQ(obj.FindMethod("Отправить"), 2);
  EXPECT_EQ(obj.FindMethod("ОТПРАВИТЬ"), -1);  // Cyrillic letters compare exactly
  EXPECT_EQ(obj.FindMethod("SendMail2"), -1);

  obj.AddSpecificMethod("SENDMAIL", [](Variant&, Variant&, std::int32_t, std::string&) { return 5; });
  ASSERT_EQ(obj.Methods().size(), 3u);
  const TMethodStruct& m = obj.Methods()[1];
  EXPECT_EQ(m.Name, "SendMail");
  EXPECT_TRUE(m.IsPublic);
  EXPECT_TRUE(m.IsSpecific);
  obj.AddPrivateMethod("sendMail", [](SafeArray&) { return Variant(7); });
  EXPECT_FALSE(obj.Methods()[1].IsPublic);
  Variant r;
  SafeArray p = Params({});
  EXPECT_EQ(obj.CallMethod(1, r, p), hrOk);
  EXPECT_EQ(r.IntValue(), 7);
}

class DispatchTest : public testing::RussianFormatsTest {
 protected:
  struct Outcome {
    std::int32_t hr;
    Variant result;
    SafeArray params;
  };
  // Registers `handler` as public method 0 and calls it with the given arguments.
  Outcome Call(TPublicMethod handler, std::vector<Variant> args) {
    obj_.AddPublicMethod("Method", std::move(handler));
    Outcome o{0, Variant(), Params(std::move(args))};
    o.hr = obj_.CallMethod(0, o.result, o.params);
    return o;
  }
  TBaseObject obj_;
};

TEST_F(DispatchTest, PublicResultsBecomeBooleanAndOutData) {
  const Variant stale("host value");
  struct Case {
    TPublicMethod handler;
    bool result;
    std::string outText;
  };
  const Case cases[] = {
      {[](Variant&, Variant&, std::int32_t, std::string&) { return 0; }, true, "EMPTY"},
      {[](Variant&, Variant& out, std::int32_t, std::string&) { out = Variant("x"); return 0; }, true, "'x'"},
      {[](Variant&, Variant& out, std::int32_t, std::string&) { out = Variant("x"); return 1003; }, false,
       "[(1003; 'Команда не поддерживается устройством')]"},
      {[](Variant&, Variant&, std::int32_t, std::string& d) { d = "своё"; return 1004; }, false, "[(1004; 'своё')]"},
      {[](Variant&, Variant&, std::int32_t, std::string&) -> std::int32_t { throw EConvertError("M"); }, false,
       "[(1001; 'M')]"},
      {[](Variant&, Variant&, std::int32_t, std::string&) -> std::int32_t { throw 42; }, false,
       "[(1001; 'Неизвестная ошибка')]"},
      {[](Variant&, Variant&, std::int32_t, std::string&) { return 5; }, false, "[(5; 'Неизвестная ошибка')]"},
  };
  for (const Case& c : cases) {
    Outcome o = Call(c.handler, {Variant::Array({}), stale, Variant(30)});
    EXPECT_EQ(o.hr, hrOk);
    EXPECT_TRUE(SameValue(o.result, Variant(c.result)));
    EXPECT_EQ(ValueToText(o.params.Elements()[1]), c.outText);
    EXPECT_EQ(o.params.Elements()[1].IsArray() ? o.params.Elements()[1].ArrayValue()->Elements()[0].Vt() : VT_I4,
              VT_I4);
  }
}

TEST_F(DispatchTest, TimeOutMustBeAnInteger) {
  std::vector<std::int32_t> seen;
  auto handler = [&](Variant&, Variant&, std::int32_t t, std::string&) {
    seen.push_back(t);
    return 0;
  };
  for (const Variant& t : {Variant::I2(30), Variant(true), Variant::UI1(7), Variant::I8(-2)})
    EXPECT_EQ(Call(handler, {Variant(), Variant(), t}).hr, hrOk);
  EXPECT_THAT(seen, ElementsAre(30, -1, 7, -2));

  for (const Variant& t : {Variant(30.0), Variant("30"), Variant(), Variant::Null(), Variant::OfType(VT_DECIMAL),
                           Variant::Array({Variant(1)})}) {
    Outcome o = Call(handler, {Variant(), Variant("kept"), t});
    EXPECT_EQ(o.hr, hrInvalidArg);
    EXPECT_TRUE(o.result.IsEmpty());
    EXPECT_EQ(o.params.Elements()[1].StrValue(), "kept");  // nothing written back
  }
  EXPECT_EQ(Call(handler, {Variant(), Variant()}).hr, hrInvalidArg);
  EXPECT_EQ(seen.size(), 4u);

  // An integer TimeOut that does not fit is the call's error, not a refusal.
  Outcome o = Call(handler, {Variant(), Variant(), Variant::UI4(3000000000u)});
  EXPECT_EQ(o.hr, hrOk);
  EXPECT_THAT(ValueToText(o.params.Elements()[1]), ::testing::StartsWith("[(1001; 'Значение 3000000000"));
  EXPECT_EQ(seen.size(), 4u);
}

TEST_F(DispatchTest, PrivateHandlersGetTheParametersAndRaiseTheirErrors) {
  obj_.AddPrivateMethod("Open", [](SafeArray& p) {
    p.Elements()[0] = Variant("device-1");
    return Variant(true);
  });
  obj_.AddPrivateMethod("Close", [](SafeArray&) -> Variant { throw EOSError("закрыто"); });
  Variant r;
  SafeArray p = Params({Variant()});
  EXPECT_EQ(obj_.CallMethod(0, r, p), hrOk);
  EXPECT_TRUE(SameValue(r, Variant(true)));
  EXPECT_EQ(p.Elements()[0].StrValue(), "device-1");
  EXPECT_THROW(obj_.CallMethod(1, r, p), EOSError);

  for (std::int32_t bad : {-1, 2, 99999}) EXPECT_EQ(obj_.CallMethod(bad, r, p), hrFail);
}

TEST(SettingsListTest, RegistrationLookupAndTypedValues) {
  TBaseObject obj;
  obj.AddSetting("DefaultTimeOut", dtNumber, Variant(120), false, "Таймаут", "Описание");
  obj.AddSetting("Flag", dtBoolean, Variant(false), true, "Флаг", "");
  obj.AddSetting("Text", dtString, Variant("abc"), false, "Текст", "");
  EXPECT_TRUE(SameValue(obj.GetSettingValue("defaulttimeout"), Variant(120)));
  EXPECT_EQ(obj.GetSettingValueInt("DEFAULTTIMEOUT"), 120);
  EXPECT_EQ(obj.GetSettingValueStr("DefaultTimeOut"), "120");
  EXPECT_DOUBLE_EQ(obj.GetSettingValueDbl("DefaultTimeOut"), 120);
  EXPECT_EQ(obj.GetSettingValueCurr("DefaultTimeOut").Scaled, 1200000);
  EXPECT_DOUBLE_EQ(obj.GetSettingValueDate("DefaultTimeOut").Days, 120);

  // Registering again: value and default become the new default; name, type, spelling and place stay.
  obj.SetSettingValue("DefaultTimeOut", Variant(5));
  obj.AddSetting("DEFAULTTIMEOUT", dtString, Variant(60), true, "Другое", "Новое");
  ASSERT_EQ(obj.SettingsCount(), 3);
  const PSettingStruct s = obj.GetSetting(0);
  EXPECT_EQ(s->ID, "DefaultTimeOut");
  EXPECT_EQ(s->Name, "Таймаут");
  EXPECT_EQ(s->ValueType, dtNumber);
  EXPECT_EQ(s->Description, "Новое");
  EXPECT_TRUE(s->ReadOnly);
  EXPECT_TRUE(SameValue(s->Value, Variant(60)));
  EXPECT_TRUE(SameValue(obj.GetSettingValue("DefaultTimeOut", true), Variant(60)));

  // Values are stored as given, read-only or not; unknown IDs change nothing.
  obj.SetSettingValue("flag", Variant("TRUE"));
  EXPECT_TRUE(obj.GetSettingValueBool("Flag"));
  EXPECT_TRUE(obj.GetSettingReadOnly("FLAG"));
  obj.SetSettingValue("Missing", Variant(1));
  EXPECT_EQ(obj.SettingsCount(), 3);
  EXPECT_EQ(obj.FindSetting("Missing"), nullptr);
  EXPECT_FALSE(obj.GetSettingValueBool("Missing"));
  EXPECT_EQ(obj.GetSettingValueInt("Missing"), 0);
  EXPECT_EQ(obj.GetSettingValueStr("Missing"), "");
  EXPECT_FALSE(obj.GetSettingReadOnly("Missing"));
  EXPECT_TRUE(obj.GetSettingValue("Missing").IsEmpty());
  EXPECT_EQ(obj.GetSetting(-1), nullptr);
  EXPECT_EQ(obj.GetSetting(obj.SettingsCount()), nullptr);
  EXPECT_THROW(obj.GetSettingValueInt("Text"), EConvertError);

  // A reference taken early stays valid while more settings are registered.
  const PSettingStruct text = obj.FindSetting("text");
  for (int i = 0; i < 100; ++i) obj.AddSetting("S" + std::to_string(i), dtNumber, Variant(i), false, "", "");
  text->Value = Variant("changed");
  EXPECT_EQ(obj.GetSettingValueStr("Text"), "changed");

  obj.SetAllSettingsDefault();
  for (std::int32_t i = 0; i < obj.SettingsCount(); ++i)
    EXPECT_TRUE(SameValue(obj.GetSetting(i)->Value, obj.GetSetting(i)->Default)) << i;
}

TEST(BaseObjectTest, EveryObjectHasItsOwnInstanceGuid) {
  TBaseObject a, b;
  EXPECT_THAT(a.InstanceID(), ::testing::MatchesRegex(
                                  "\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}"));
  EXPECT_NE(a.InstanceID(), b.InstanceID());
}

}  // namespace
}  // namespace eqd
