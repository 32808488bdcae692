#include "com/win32/variant_convert.h"

#include <gtest/gtest.h>

#include "automation/errors.h"
#include "automation/variant_convert.h"
#include "automation/value_text.h"
#include "com_test_support.h"

namespace eqd::com {
namespace {

TEST(VariantConvertTest, ScalarsKeepTypeAndValueBothWays) {
  const Variant values[] = {
      Variant(),           Variant::Null(),      Variant::I2(-5),        Variant(-70000),
      Variant::R4(1.5f),   Variant(-2.75),       Variant(Currency{-123456}), Variant(DateValue{45000.25}),
      Variant(true),       Variant(false),       Variant::Error(0x80020004), Variant::I1(-3),
      Variant::UI1(250),   Variant::UI2(65000),  Variant::UI4(4000000000u),  Variant::I8(-5000000000),
      Variant::UI8(10000000000000000000u), Variant::Int(-7), Variant::UInt(4000000001u),
      Variant(Decimal{28, true, 0xFFFFFFFF, 0x0123456789ABCDEFull}), Variant(Decimal{0, false, 0, 587}),
      Variant("Ошибка входных параметров команды"), Variant("𝄞 beyond the basic plane"),
      Variant(std::string("zero\0inside", 11)),  Variant(""),
  };
  for (const Variant& v : values) {
    SCOPED_TRACE(v.Vt());
    TVariantHolder com = ToVariant(v);
    EXPECT_EQ(V_VT(&com.Get()), v.Vt());
    EXPECT_TRUE(SameValue(FromVariant(com.Get()), v));
  }
  TVariantHolder b = ToVariant(Variant(true));
  EXPECT_EQ(V_BOOL(&b.Get()), VARIANT_TRUE);
  TVariantHolder s = ToVariant(Variant(std::string("a\0b", 3)));
  EXPECT_EQ(SysStringLen(V_BSTR(&s.Get())), 3u);
}

TEST(VariantConvertTest, ArraysKeepDimensionsBoundsAndElementType) {
  SafeArray grid({ArrayBound{1, 2}, ArrayBound{-1, 3}});
  for (std::int64_t a = 1; a <= 2; ++a)
    for (std::int64_t s = -1; s <= 1; ++s) grid.At({a, s}) = Variant(static_cast<std::int32_t>(a * 10 + s));
  grid.At({2, 1}) = Variant::Array({Variant("вложенный"), Variant::Null()});
  const Variant source(std::move(grid));

  TVariantHolder com = ToVariant(source);
  ASSERT_EQ(V_VT(&com.Get()), VT_ARRAY | VT_VARIANT);
  SAFEARRAY* psa = V_ARRAY(&com.Get());
  LONG low = 0, high = 0;
  SafeArrayGetLBound(psa, 1, &low);
  SafeArrayGetUBound(psa, 1, &high);
  EXPECT_EQ(low, 1);
  EXPECT_EQ(high, 2);
  SafeArrayGetLBound(psa, 2, &low);
  SafeArrayGetUBound(psa, 2, &high);
  EXPECT_EQ(low, -1);
  EXPECT_EQ(high, 1);
  EXPECT_TRUE(SameValue(FromVariant(com.Get()), source)) << ValueToText(FromVariant(com.Get()));

  const Variant typed(SafeArray({ArrayBound{0, 2}}), eqd::VT_BSTR);
  TVariantHolder typedCom = ToVariant(typed);
  EXPECT_EQ(V_VT(&typedCom.Get()), VT_ARRAY | VT_BSTR);
  const Variant typedBack = FromVariant(typedCom.Get());
  EXPECT_EQ(typedBack.Vt(), eqd::VT_ARRAY | eqd::VT_BSTR);
  EXPECT_EQ(typedBack.ArrayValue()->At({1}).Vt(), eqd::VT_BSTR);

  for (const Variant& edge : {Variant::Array({}), Variant::EmptyArray()}) {
    TVariantHolder e = ToVariant(edge);
    EXPECT_TRUE(SameValue(FromVariant(e.Get()), edge)) << ValueToText(edge);
  }
}

TEST(VariantConvertTest, TypedArrayElementsAreConvertedByTheCoreRules) {
  SafeArray numbers({ArrayBound{0, 2}});
  numbers.At({0}) = Variant("5");
  numbers.At({1}) = Variant(true);
  TVariantHolder com = ToVariant(Variant(std::move(numbers), eqd::VT_I4));
  const Variant back = FromVariant(com.Get());
  EXPECT_EQ(back.ArrayValue()->At({0}).IntValue(), 5);
  EXPECT_EQ(back.ArrayValue()->At({1}).IntValue(), -1);

  SafeArray bad({ArrayBound{0, 1}});
  bad.At({0}) = Variant("abc");
  EXPECT_THROW(ToVariant(Variant(std::move(bad), eqd::VT_I4)), EConvertError);
}

TEST(VariantConvertTest, ReferencesAreReadThroughAndNeverKept) {
  BSTR text = SysAllocString(L"ссылка");
  VARIANT ref = testing::RefTo(VT_BSTR, &text);
  const Variant v = FromVariant(ref);
  SysFreeString(text);
  EXPECT_EQ(v.Vt(), eqd::VT_BSTR);
  EXPECT_EQ(v.StrValue(), "ссылка");
}

// Numbers of the types a host with a decimal or a sized integer type passes keep their
// value: read by the core to the last digit, and written back unchanged into by-reference
// variables and typed arrays of their own type.
TEST(VariantConvertTest, DecimalsAndSizedIntegersKeepTheirValue) {
  DECIMAL made{};
  wchar_t text[] = L"-12345678901234567890.123456789";
  ASSERT_EQ(VarDecFromStr(text, LOCALE_INVARIANT, 0, &made), S_OK);
  VARIANT dec;
  VariantInit(&dec);
  V_DECIMAL(&dec) = made;
  V_VT(&dec) = VT_DECIMAL;
  const Variant read = FromVariant(dec);
  ASSERT_EQ(read.Vt(), eqd::VT_DECIMAL);
  EXPECT_EQ(VarToStr(read), "-12345678901234567890" + CurrentFormatSettings()->DecimalSeparator + "123456789");
  TVariantHolder back = ToVariant(read);
  ASSERT_EQ(V_VT(&back.Get()), VT_DECIMAL);
  EXPECT_EQ(VarDecCmp(&V_DECIMAL(&back.Get()), &made), VARCMP_EQ);

  // By reference: the host's variable of each type receives the value back unchanged.
  union {
    CHAR i1;
    BYTE ui1;
    USHORT ui2;
    ULONG ui4;
    LONGLONG i8;
    ULONGLONG ui8;
    INT i;
    UINT ui;
    DECIMAL dec;
  } slot{};
  const struct {
    VARTYPE vt;
    Variant value;
  } cases[] = {
      {VT_I1, Variant::I1(-100)},       {VT_UI1, Variant::UI1(200)},
      {VT_UI2, Variant::UI2(60000)},    {VT_UI4, Variant::UI4(4000000000u)},
      {VT_I8, Variant::I8(-5000000000)}, {VT_UI8, Variant::UI8(18000000000000000000u)},
      {VT_INT, Variant::Int(-123456)},  {VT_UINT, Variant::UInt(4000000001u)},
      {VT_DECIMAL, read},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.vt);
    slot = {};
    VARIANT ref = testing::RefTo(c.vt, &slot);
    WriteBack(c.value, ref);
    EXPECT_TRUE(SameValue(FromVariant(ref), c.value)) << VarToStr(FromVariant(ref));
    // A typed array of the type holds it as it is.
    SafeArray one({ArrayBound{0, 1}});
    one.At({0}) = c.value;
    TVariantHolder typed = ToVariant(Variant(std::move(one), static_cast<VarType>(c.vt)));
    ASSERT_EQ(V_VT(&typed.Get()), VT_ARRAY | c.vt);
    EXPECT_TRUE(SameValue(FromVariant(typed.Get()).ArrayValue()->At({0}), c.value));
  }
  EXPECT_EQ(slot.dec.wReserved, 0);
  // Another type is converted by the core's rules.
  VARIANT ref = testing::RefTo(VT_DECIMAL, &slot);
  WriteBack(Variant(std::int32_t{-25}), ref);
  EXPECT_EQ(VarToStr(FromVariant(ref)), "-25");
  EXPECT_THROW(WriteBack(Variant("abc"), ref), EConvertError);
}

}  // namespace
}  // namespace eqd::com
