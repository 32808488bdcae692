#include "automation/variant_convert.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "automation/date_time.h"
#include "automation/decimal.h"
#include "automation/value_text.h"
#include "automation/errors.h"
#include "platform/locale_formats.h"
#include "format_fixture.h"

namespace eqd {
namespace {

using ::testing::HasSubstr;
using ConvertTest = testing::RussianFormatsTest;

DateValue Date(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  double days = 0;
  EXPECT_TRUE(TryEncodeDateTime(TDateTimeParts{y, mo, d, h, mi, s, ms}, days));
  return DateValue{days};
}

TEST_F(ConvertTest, IntegersRoundHalfToEvenAndReadLocaleText) {
  Variant target = Variant(41);
  const struct {
    Variant v;
    std::int32_t expected;
  } cases[] = {
      {Variant(), 0},           {Variant(2.5), 2},          {Variant(3.5), 4},
      {Variant(-2.5), -2},      {Variant(" 12 "), 12},      {Variant("1,5"), 2},
      {Variant("-7"), -7},      {Variant(true), -1},        {Variant(Currency{25000}), 2},
      {Variant(Currency{35000}), 4}, {Variant::UI4(7), 7},  {Variant::I2(-3), -3},
      {Variant::ByRef(target), 41},  {Variant("2147483647"), 2147483647},
  };
  for (const auto& c : cases) EXPECT_EQ(VarToInt32(c.v), c.expected) << VarTypeName(c.v.Vt());
}

TEST_F(ConvertTest, FailuresNameTheValueAndTheWantedType) {
  const struct {
    std::function<void()> convert;
    const char* message;
  } cases[] = {
      {[] { VarToInt32(Variant("abc")); }, "Значение 'abc' не является числом"},
      {[] { VarToInt32(Variant(3e9)); }, "не помещается в целое число (32 бита)"},
      {[] { VarToInt32(Variant::UI4(3000000000u)); }, "Значение 3000000000 не помещается"},
      {[] { VarToInt64(Variant(1e19)); }, "не помещается в целое число (64 бита)"},
      {[] { VarToInt32(Variant::Null()); }, "Значение типа VT_NULL нельзя преобразовать"},
      {[] { VarToDouble(Variant(DispatchPtr())); }, "VT_DISPATCH нельзя преобразовать в число"},
      {[] { VarToStr(Variant::Array({Variant(1)})); }, "VT_ARRAY|VT_VARIANT нельзя преобразовать в строку"},
      {[] { VarToBool(Variant("yes")); }, "'yes' не является логическим значением"},
      {[] { VarToDate(Variant("31.02.2023")); }, "'31.02.2023' не является датой"},
      {[] { VarToDate(Variant(1e10)); }, "не помещается в дату"},
      {[] { VarToCurrency(Variant(1e300)); }, "не помещается в денежную сумму"},
      {[] { VarToStr(Variant(DateValue{1e10})); }, "не помещается в строку"},
      {[] { VarToStr(Variant::OfType(VT_UNKNOWN)); }, "VT_UNKNOWN"},
  };
  for (const auto& c : cases) {
    try {
      c.convert();
      ADD_FAILURE() << "no error for: " << c.message;
    } catch (const EConvertError& e) {
      EXPECT_THAT(e.what(), HasSubstr(c.message));
      EXPECT_EQ(e.ClassName(), "EConvertError");
    }
  }
  // A long text is cut in the message, never split inside a character.
  try {
    VarToInt32(Variant(std::string(63, 'x') + "ЖЖЖЖ"));
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_THAT(e.what(), HasSubstr(std::string(63, 'x') + "..."));
  }
}

// A decimal keeps all of its up to 29 digits: as text every one of them, as an integer
// or a currency amount rounded half to even, as a double the nearest one.
TEST_F(ConvertTest, DecimalsConvertExactly) {
  const std::uint64_t lo = 0xFFFFFFFFFFFFFFFFull;  // with Hi32 0xFFFFFFFF: 2^96 - 1
  const struct {
    Decimal d;
    const char* text;
    const char* int64;     // nullptr: does not fit
    const char* currency;  // scaled by 10 000; nullptr: does not fit
    double dbl;
  } cases[] = {
      {{0, false, 0, 587}, "587", "587", "5870000", 587},
      {{2, true, 0, 12345}, "-123,45", "-123", "-1234500", -123.45},
      {{3, false, 0, 2500}, "2,5", "2", "25000", 2.5},         // half to even: 2
      {{1, false, 0, 35}, "3,5", "4", "35000", 3.5},           // half to even: 4
      {{5, true, 0, 123456}, "-1,23456", "-1", "-12346", -1.23456},
      {{28, false, 0, 1}, "0,0000000000000000000000000001", "0", "0", 1e-28},
      {{0, false, 0xFFFFFFFF, lo}, "79228162514264337593543950335", nullptr, nullptr, 79228162514264337593543950335.0},
      {{10, false, 0xFFFFFFFF, lo}, "7922816251426433759,3543950335", "7922816251426433759", nullptr,
       7922816251426433759.3543950335},
      {{0, true, 0, 0x8000000000000000ull}, "-9223372036854775808", "-9223372036854775808", nullptr,
       -9223372036854775808.0},
      {{0, false, 0, 0x8000000000000000ull}, "9223372036854775808", nullptr, nullptr, 9223372036854775808.0},
      {{4, true, 0, 0}, "0", "0", "0", 0},
  };
  for (const auto& c : cases) {
    const Variant v(c.d);
    EXPECT_EQ(VarToStr(v), c.text);
    if (c.int64 != nullptr) {
      EXPECT_EQ(std::to_string(VarToInt64(v)), c.int64) << c.text;
    } else {
      EXPECT_THROW(VarToInt64(v), EConvertError) << c.text;
    }
    if (c.currency != nullptr) {
      EXPECT_EQ(std::to_string(VarToCurrency(v).Scaled), c.currency) << c.text;
    } else {
      EXPECT_THROW(VarToCurrency(v), EConvertError) << c.text;
    }
    EXPECT_EQ(VarToDouble(v), c.dbl) << c.text;
    EXPECT_EQ(VarToBool(v), c.d.Lo64 != 0 || c.d.Hi32 != 0) << c.text;
    // Back from its own text.
    EXPECT_EQ(DecimalToText(VarToDecimal(Variant(c.text)), *CurrentFormatSettings()), c.text);
  }
  EXPECT_EQ(VarToInt32(Variant(Decimal{0, false, 0, 2525})), 2525);
  EXPECT_THROW(VarToInt32(Variant(Decimal{0, false, 0, 1ull << 31})), EConvertError);
  // Other values as decimals.
  const struct {
    Variant v;
    const char* text;
  } to[] = {{Variant(-7), "-7"}, {Variant::UI8(18446744073709551615ull), "18446744073709551615"},
            {Variant(Currency{-15000}), "-1,5"}, {Variant(0.125), "0,125"}, {Variant(true), "-1"},
            {Variant(" 12,50 "), "12,5"}};
  for (const auto& c : to) EXPECT_EQ(DecimalToText(VarToDecimal(c.v), *CurrentFormatSettings()), c.text) << c.text;
  for (const Variant& bad : {Variant("1E5"), Variant("abc"), Variant(1e30), Variant("79228162514264337593543950336")})
    EXPECT_THROW(VarToDecimal(bad), EConvertError) << ValueToText(bad);
}

// The integer types that have no constructor of their own keep type and value.
TEST_F(ConvertTest, EveryIntegerTypeReadsAsItsValue) {
  const struct {
    Variant v;
    VarType vt;
    const char* text;
  } cases[] = {
      {Variant::I1(-128), VT_I1, "-128"},          {Variant::UI1(255), VT_UI1, "255"},
      {Variant::UI2(65535), VT_UI2, "65535"},      {Variant::UI4(4294967295u), VT_UI4, "4294967295"},
      {Variant::I8(-9223372036854775807 - 1), VT_I8, "-9223372036854775808"},
      {Variant::UI8(18446744073709551615ull), VT_UI8, "18446744073709551615"},
      {Variant::Int(-2147483647 - 1), VT_INT, "-2147483648"}, {Variant::UInt(4294967295u), VT_UINT, "4294967295"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.v.Vt(), c.vt);
    EXPECT_EQ(VarToStr(c.v), c.text);
    EXPECT_EQ(VarToDouble(c.v), std::stod(c.text));
    EXPECT_EQ(ValueToText(c.v), c.vt == VT_UI1 ? "\xC3\xBF" : "") << c.text;  // trace text: the byte's character, else none
  }
}

TEST_F(ConvertTest, BooleansFromTextAndNumbers) {
  EXPECT_TRUE(VarToBool(Variant("TRUE")));
  EXPECT_FALSE(VarToBool(Variant("false")));
  EXPECT_FALSE(VarToBool(Variant("0")));
  EXPECT_TRUE(VarToBool(Variant("2,5")));
  EXPECT_FALSE(VarToBool(Variant()));
  EXPECT_TRUE(VarToBool(Variant(-1)));
  EXPECT_FALSE(VarToBool(Variant(0.0)));
}

TEST_F(ConvertTest, StringsInTheGeneralForms) {
  const struct {
    Variant v;
    const char* expected;
  } cases[] = {
      {Variant(1.5), "1,5"},
      {Variant(-0.25), "-0,25"},
      {Variant(1e20), "1E20"},
      {Variant(1.5e-7), "1,5E-7"},
      {Variant(0.00001), "0,00001"},
      {Variant(123456789012345.0), "123456789012345"},
      {Variant(1234567890123456.0), "1,23456789012346E15"},
      {Variant(0.1 + 0.2), "0,3"},
      {Variant::R4(0.1f), "0,1"},
      {Variant(Currency{125000}), "12,5"},
      {Variant(Currency{-1}), "-0,0001"},
      {Variant(Currency{INT64_MIN}), "-922337203685477,5808"},
      {Variant(true), "True"},
      {Variant::Null(), ""},
      {Variant::I8(-9000000000LL), "-9000000000"},
      {Variant::UI1(65), "65"},
      {Variant(Date(2024, 1, 2, 3, 4, 5)), "02.01.2024 03:04:05"},
      {Variant(std::nan("")), "NAN"},
  };
  for (const auto& c : cases) EXPECT_EQ(VarToStr(c.v), c.expected);
}

TEST_F(ConvertTest, DatesReadInTheLocaleFormats) {
  const struct {
    const char* text;
    DateValue expected;
  } cases[] = {
      {"31.12.2023 23:59:58", Date(2023, 12, 31, 23, 59, 58)},
      {" 29.02.2024 ", Date(2024, 2, 29)},
      {"1.2.24", Date(2024, 2, 1)},
      {"01.02.60", Date(1960, 2, 1)},
      {"12:30", DateValue{0.5 + 1.0 / 48}},
      {"01.01.2000 7:05:09,5", Date(2000, 1, 1, 7, 5, 9, 500)},
      {"01.01.2000 7:05 PM", Date(2000, 1, 1, 19, 5)},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(VarToDate(Variant(c.text)).Days, c.expected.Days) << c.text;
  for (const char* bad : {"", "2024", "32.01.2024", "01.13.2024", "01.01.2024 24:00", "01.01.2024x", "01/01/2024",
                          "001.01.2024", "01.01.2024 13:00 PM"}) {
    double days = 0;
    EXPECT_FALSE(TryTextToDateTime(bad, *CurrentFormatSettings(), days)) << bad;
  }
}

TEST(DateTimeTest, DayNumbersMatchTheAutomationCalendar) {
  EXPECT_DOUBLE_EQ(Date(1899, 12, 30).Days, 0);
  EXPECT_DOUBLE_EQ(Date(2024, 1, 2).Days, 45293);
  EXPECT_DOUBLE_EQ(Date(100, 1, 1).Days, kMinDateDays);
  EXPECT_DOUBLE_EQ(Date(9999, 12, 31).Days, kMaxDateDays - 1);
  // Before 1899-12-30 the fraction still counts forward from the start of the day.
  EXPECT_DOUBLE_EQ(Date(1899, 12, 29, 6).Days, -1.25);
  TDateTimeParts p;
  ASSERT_TRUE(TryDecodeDateTime(-1.25, p));
  EXPECT_EQ(p.Day, 29);
  EXPECT_EQ(p.Hour, 6);
  // A time that rounds up to midnight belongs to the next day.
  ASSERT_TRUE(TryDecodeDateTime(45293.9999999999, p));
  EXPECT_EQ(p.Day, 3);
  EXPECT_EQ(p.Hour, 0);
  for (double bad : {kMinDateDays - 1, kMaxDateDays, std::nan(""), double(INFINITY)}) EXPECT_FALSE(TryDecodeDateTime(bad, p));
  // Every day of a few centuries survives the round trip.
  for (double d = -60000; d < 120000; d += 1.0) {
    const double at18 = d >= 0 ? d + 0.75 : d - 0.75;
    double back = 0;
    ASSERT_TRUE(TryDecodeDateTime(at18, p));
    ASSERT_EQ(p.Hour, 18);
    ASSERT_TRUE(TryEncodeDateTime(p, back));
    ASSERT_DOUBLE_EQ(back, at18);
  }
}

TEST_F(ConvertTest, TwelveHourFormatsWithOtherSeparators) {
  TFormatSettings us;
  us.DecimalSeparator = ".";
  us.DateSeparator = "/";
  us.TimeSeparator = ":";
  us.ShortDateFormat = "m/d/yyyy";
  us.LongTimeFormat = "h:nn:ss ampm";
  SetFormatSettings(us);
  const DateValue d = Date(2024, 1, 2, 15, 4, 5);
  EXPECT_EQ(VarToStr(Variant(d)), "1/2/2024 3:04:05 PM");
  EXPECT_DOUBLE_EQ(VarToDate(Variant("1/2/2024 3:04:05 PM")).Days, d.Days);
  EXPECT_EQ(VarToStr(Variant(Date(2024, 1, 2, 0, 30))), "1/2/2024 12:30:00 AM");
  // Letters of a locale's literal text are not read as fields.
  TDateTimeParts parts;
  ASSERT_TRUE(TryDecodeDateTime(d.Days, parts));
  EXPECT_EQ(FormatDateTime(platform::StrftimeToFormat("%H:%M Uhr"), parts, us), "15:04 Uhr");
  EXPECT_DOUBLE_EQ(VarToDouble(Variant("1.5")), 1.5);
  EXPECT_THROW(VarToDouble(Variant("1,5")), EConvertError);
}

TEST_F(ConvertTest, NumbersFromText) {
  const auto& fs = *CurrentFormatSettings();
  double d = -1;
  EXPECT_TRUE(TryTextToFloat("1,5e3", fs, d));
  EXPECT_EQ(d, 1500);
  EXPECT_TRUE(TryTextToFloat(" -2 ", fs, d));
  EXPECT_EQ(d, -2);
  EXPECT_TRUE(TryTextToFloat("1e-400", fs, d));
  EXPECT_EQ(d, 0);
  for (const char* bad : {"", "1.5", "1 000", "inf", "nan", "0x10", "1e", ",", "1,5,", "e5", "1e999"})
    EXPECT_FALSE(TryTextToFloat(bad, fs, d)) << bad;
  EXPECT_EQ(VarToCurrency(Variant("12,3456")).Scaled, 123456);
  EXPECT_EQ(VarToCurrency(Variant(7)).Scaled, 70000);
  EXPECT_DOUBLE_EQ(VarToDouble(Variant(Currency{15000})), 1.5);
  EXPECT_EQ(VarToInt64(Variant("-9223372036854775808")), INT64_MIN);
}

}  // namespace
}  // namespace eqd
