#include "automation/value_text.h"

#include <gtest/gtest.h>

#include "automation/date_time.h"
#include "automation/errors.h"
#include "format_fixture.h"

namespace eqd {
namespace {

using ValueTextTest = testing::RussianFormatsTest;

class FakeObject : public DispatchObject {
 public:
  Variant Invoke(std::string_view, std::vector<Variant>&) override { return {}; }
  const void* Identity() const override { return reinterpret_cast<const void*>(std::uintptr_t{0xABCDEF}); }
};

Variant Array2x2() {
  SafeArray a({ArrayBound{0, 2}, ArrayBound{0, 2}});
  a.At({0, 0}) = Variant(1);
  a.At({1, 0}) = Variant(2);
  a.At({0, 1}) = Variant(3);
  a.At({1, 1}) = Variant(4);
  return Variant(std::move(a));
}

TEST_F(ValueTextTest, TextOfEveryKindOfValue) {
  double date = 0;
  ASSERT_TRUE(TryEncodeDateTime(TDateTimeParts{2024, 3, 1, 9, 8, 7, 0}, date));
  Variant byRefTarget = Variant(12);
  Variant byRefString = Variant("a\r\nb");
  const std::string pointer = sizeof(void*) == 8 ? "$0000000000ABCDEF" : "$00ABCDEF";
  const struct {
    Variant v;
    std::string expected;
  } cases[] = {
      {Variant(), "EMPTY"},
      {Variant::Null(), "NULL"},
      {Variant(-42), "-42"},
      {Variant::I2(7), "7"},
      {Variant(1.5), "1,5"},
      {Variant(Currency{-25000}), "-2,5"},
      {Variant(DateValue{date}), "01.03.2024 09:08:07"},
      {Variant(DateValue{1e16}), "1E16"},  // no calendar day: shown as the number
      {Variant("x\r\ny"), "'x\\ny'"},
      {Variant("a\rb\nc\n\r"), "'a\rb\nc\n\r'"},
      {Variant(true), "True"},
      {Variant(false), "False"},
      {Variant(std::static_pointer_cast<DispatchObject>(std::make_shared<FakeObject>())), pointer},
      {Variant::UI1(65), "A"},
      {Variant::UI1(200), "\xC3\x88"},  // the character U+00C8
      {Variant::I8(5), ""},
      {Variant::UI4(5), ""},
      {Variant::Error(5), ""},
      {Variant::OfType(VT_DECIMAL), ""},
      {Variant::ByRef(byRefTarget, false), "12"},
      {Variant::ByRef(byRefString, false), "'a\\nb'"},
      {Variant::ByRef(byRefString), "a\r\nb"},  // a variant reference: the plain string conversion
      {Variant::Array({Variant(1), Variant("ab"), Variant(true)}), "[(1; 'ab'; True)]"},
      {Variant::Array({}), "[()]"},
      {Variant::EmptyArray(), "EMPTY"},
      {Array2x2(), "[((1; 2)(3; 4))]"},
      {Variant::Array({Variant(1), Variant::Array({Variant(2), Variant::Null()})}), "[(1; [(2; NULL)])]"},
  };
  for (const auto& c : cases) EXPECT_EQ(ValueToText(c.v), c.expected) << c.expected;
}

TEST_F(ValueTextTest, ArraysOfMoreDimensionsAndOwnLowerBounds) {
  SafeArray a({ArrayBound{1, 2}, ArrayBound{-1, 1}, ArrayBound{5, 2}});
  int n = 0;
  for (auto& e : a.Elements()) e = Variant(++n);
  EXPECT_EQ(ValueToText(Variant(a)), "[(((1; 2))((3; 4)))]");
  EXPECT_EQ(ValueToText(Variant(SafeArray({ArrayBound{0, 2}, ArrayBound{0, 0}}))), "[()]");
  EXPECT_EQ(ValueToText(Variant(SafeArray({ArrayBound{0, 0}, ArrayBound{0, 2}}))), "[(()())]");
}

// A settings table anywhere in a value, reached through a reference too, shows the
// value and the default of a secret setting masked; the value itself is not changed.
TEST_F(ValueTextTest, SecretSettingsAreMaskedInSettingsTables) {
  SafeArray table({ArrayBound{0, 4}, ArrayBound{1, 3}});
  table.At({0, 1}) = Variant("Pass");
  table.At({1, 1}) = Variant("p");
  table.At({3, 1}) = Variant(7);
  table.At({0, 2}) = Variant("User");
  table.At({1, 2}) = Variant("u");
  table.At({0, 3}) = Variant("pass");  // IDs compare as the settings list compares them
  table.At({1, 3}) = Variant("");
  Variant inner(std::move(table));
  Variant outer = Variant::Array({Variant(1), Variant::ByRef(inner)});
  const TIsSecretSetting isSecret = [](std::string_view id) { return id == "Pass" || id == "pass"; };
  EXPECT_EQ(ValueToText(outer, isSecret),
            "[(1; [(('Pass'; '********'; EMPTY; '********')('User'; 'u'; EMPTY; EMPTY)('pass'; ''; EMPTY; EMPTY))])]");
  EXPECT_EQ(ValueToText(*outer.ArrayValue(), isSecret), ValueToText(outer, isSecret));
  EXPECT_EQ(inner.ArrayValue()->At({1, 1}).StrValue(), "p");
  // Nothing secret: the text of the value as it is.
  EXPECT_EQ(ValueToText(outer, [](std::string_view) { return false; }), ValueToText(outer));
  for (const Variant& blank : {Variant(), Variant::Null(), Variant("")}) EXPECT_TRUE(SameValue(MaskedSecret(blank), blank));
  EXPECT_TRUE(SameValue(MaskedSecret(Variant(0)), Variant("********")));
}

TEST_F(ValueTextTest, ArrayItemReaders) {
  const Variant data = Variant::Array({Variant(5), Variant::Null(), Variant()});
  EXPECT_TRUE(IsArrayItemAssigned(data, 0));
  for (int i : {1, 2, 3, 1000}) EXPECT_FALSE(IsArrayItemAssigned(data, i)) << i;
  EXPECT_FALSE(IsArrayItemAssigned(Variant("abc"), 0));
  EXPECT_FALSE(IsArrayItemAssigned(Variant(), 0));
  EXPECT_FALSE(IsArrayItemAssigned(Variant::EmptyArray(), 0));
  EXPECT_THROW(IsArrayItemAssigned(data, -1), ERangeError);  // below the low bound: the array's own error
  EXPECT_THROW(IsArrayItemAssigned(Array2x2(), 0), ERangeError);

  EXPECT_EQ(GetArrayItem(data, 0).Vt(), VT_I4);
  EXPECT_TRUE(GetArrayItem(data, 1).IsEmpty());
  EXPECT_EQ(GetArrayItemStr(Variant::Array({Variant(5)}), 0, "x"), "5");
  EXPECT_EQ(GetArrayItemStr(Variant::Array({Variant(5)}), 1, "x"), "x");
  EXPECT_EQ(GetArrayItemStr(Variant::Array({Variant(2.5)}), 0, ""), "2,5");
}

TEST_F(ValueTextTest, DataTypesAndTypedInText) {
  EXPECT_EQ(DataTypeToText(dtNumber), "Number");
  EXPECT_EQ(DataTypeToText(dtString), "String");
  EXPECT_EQ(DataTypeToText(dtDateTime), "Date");
  EXPECT_EQ(DataTypeToText(dtBoolean), "Boolean");
  EXPECT_THROW(DataTypeToText(static_cast<TDataType>(4)), ERangeError);

  EXPECT_TRUE(SameValue(TextToValue(dtBoolean, "TRUE"), Variant(true)));
  EXPECT_TRUE(SameValue(TextToValue(dtBoolean, "yes"), Variant(false)));
  EXPECT_TRUE(SameValue(TextToValue(dtBoolean, ""), Variant(false)));
  EXPECT_TRUE(SameValue(TextToValue(dtNumber, "abc"), Variant(0.0)));
  EXPECT_TRUE(SameValue(TextToValue(dtNumber, "2,5"), Variant(2.5)));
  EXPECT_TRUE(SameValue(TextToValue(dtString, " a "), Variant(" a ")));
  EXPECT_TRUE(SameValue(TextToValue(dtDateTime, "abc"), Variant("abc")));
  EXPECT_TRUE(SameValue(TextToValue(dtDateTime, "31.12.1899"), Variant(DateValue{1})));
}

TEST(VisibleControls, NoTextStartsALineOrSteersATerminal) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\r\nb\nc\rd", "a\\nb\\nc\\rd"},
      {std::string("nul\0after", 9), "nul\\x00after"},
      {"\x1b[2J\x1b]0;title\x07\x7f", "\\x1B[2J\\x1B]0;title\\x07\\x7F"},
      {"csi \xc2\x9b" "31m, nel \xc2\x85", "csi \\u009B31m, nel \\u0085"},
      // Tabs stay: logs use them between their fields, and no line starts with one.
      {"a\tb", "a\tb"},
      {"Отчёт ¢ \xc2", "Отчёт ¢ \xc2"},
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(VisibleControls(text), shown) << text;
}

}  // namespace
}  // namespace eqd
