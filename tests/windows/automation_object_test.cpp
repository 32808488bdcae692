#include "com/win32/automation_object.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "automation/errors.h"
#include "com/win32/variant_convert.h"
#include "com_test_support.h"

namespace eqd::com {
namespace {

using namespace testing;

// A driver object whose handlers the tests set.
class TTestObject : public TBaseObject {
 public:
  TTestObject() {
    AddPublicMethod("SendMail", [this](Variant& in, Variant& out, std::int32_t timeOut, std::string& description) {
      ++Calls;
      LastTimeOut = timeOut;
      return OnPublic ? OnPublic(in, out, description) : 0;
    });
    AddPrivateMethod("Call", [this](SafeArray& params) {
      ++Calls;
      Seen = params.Elements();
      return OnPrivate ? OnPrivate(params) : Variant(true);
    });
    AddPrivateMethod("Проверка", [](SafeArray&) { return Variant(); });
  }
  int Calls = 0;
  std::int32_t LastTimeOut = 0;
  std::vector<Variant> Seen;
  std::function<std::int32_t(Variant&, Variant&, std::string&)> OnPublic;
  std::function<Variant(SafeArray&)> OnPrivate;
};

struct AutomationObjectTest : ::testing::Test {
  TTestObject* object = nullptr;
  TComPtr<IDispatch> dispatch;
  DISPID sendMail = 0, call = 1;

  AutomationObjectTest() {
    auto owned = std::make_unique<TTestObject>();
    object = owned.get();
    auto* com = new TAutomationObject(std::move(owned), nullptr);
    com->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.Put()));
  }

  HRESULT Invoke(DISPID id, TArgs& args, VARIANT* result = nullptr, EXCEPINFO* excep = nullptr,
                 WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET) {
    return dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, args.Params(), result, excep, nullptr);
  }
};

TEST_F(AutomationObjectTest, NamesFoldAsciiCaseOnlyAndUnknownNamesAreNotImplemented) {
  EXPECT_EQ(IdOf(dispatch.Get(), L"sendmail"), sendMail);
  EXPECT_EQ(IdOf(dispatch.Get(), L"SENDMAIL"), sendMail);
  EXPECT_EQ(IdOf(dispatch.Get(), L"Проверка"), 2);

  for (const wchar_t* unknown : {L"ПРОВЕРКА", L"SendMail2", L""}) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(unknown)};
    DISPID id = 7;
    EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), E_NOTIMPL);
    EXPECT_EQ(id, -1);
  }
  // Only the first name is looked at.
  LPOLESTR two[] = {const_cast<LPOLESTR>(L"Call"), const_cast<LPOLESTR>(L"bogus")};
  DISPID ids[2] = {7, 7};
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, two, 2, 0, ids), S_OK);
  EXPECT_EQ(ids[0], call);
}

TEST_F(AutomationObjectTest, RefusesPropertyReadsAndDispIDsOutsideTheTable) {
  TArgs args{I4(1), I4(2), I4(30)};
  EXPECT_EQ(Invoke(100000, args), E_FAIL);
  EXPECT_EQ(Invoke(sendMail, args, nullptr, nullptr, DISPATCH_PROPERTYGET), E_FAIL);
  EXPECT_EQ(Invoke(50, args), E_FAIL);
  EXPECT_EQ(Invoke(-5, args), E_FAIL);
  EXPECT_EQ(object->Calls, 0);
  EXPECT_EQ(Invoke(sendMail, args, nullptr, nullptr, DISPATCH_METHOD), S_OK);
  EXPECT_EQ(object->Calls, 1);
}

TEST_F(AutomationObjectTest, PassesArgumentsInHostOrderFollowingReferencesAndWideningShorts) {
  LONG deep = 77;
  VARIANT inner = RefTo(VT_I4, &deep);
  VARIANT outer = Ref(inner);
  TArgs args{I2(5), Str("Привет 𝄞"), Ref(outer), R8(2.5)};
  ASSERT_EQ(Invoke(call, args), S_OK);
  ASSERT_EQ(object->Seen.size(), 4u);
  EXPECT_EQ(object->Seen[0].Vt(), eqd::VT_I4);
  EXPECT_EQ(object->Seen[0].IntValue(), 5);
  EXPECT_EQ(object->Seen[1].StrValue(), "Привет 𝄞");
  EXPECT_EQ(object->Seen[2].Vt(), eqd::VT_I4);
  EXPECT_EQ(object->Seen[2].IntValue(), 77);
  EXPECT_EQ(object->Seen[3].DoubleValue(), 2.5);
}

TEST_F(AutomationObjectTest, PublicMethodsWantAnIntegerTimeOut) {
  struct Case {
    const char* Name;
    std::vector<VARIANT> TimeOut;
    HRESULT Expected;
  };
  VARIANT str = Str("30");
  Case cases[] = {{"missing", {}, E_INVALIDARG},     {"double", {R8(30.0)}, E_INVALIDARG},
                  {"string", {str}, E_INVALIDARG},   {"VT_I2", {I2(30)}, S_OK},
                  {"VT_I4", {I4(30)}, S_OK}};
  for (Case& c : cases) {
    SCOPED_TRACE(c.Name);
    object->Calls = 0;
    VARIANT out = I4(-1);
    TArgs args = c.TimeOut.empty() ? TArgs{I4(1), Ref(out)} : TArgs{I4(1), Ref(out), c.TimeOut[0]};
    EXPECT_EQ(Invoke(sendMail, args), c.Expected);
    EXPECT_EQ(object->Calls, c.Expected == S_OK ? 1 : 0);
    // A refused call writes nothing back; an accepted one empties OutData.
    EXPECT_EQ(V_VT(&out), c.Expected == S_OK ? VT_EMPTY : VT_I4);
    VariantClear(&out);
  }
  EXPECT_EQ(object->LastTimeOut, 30);
}

TEST_F(AutomationObjectTest, PublicResultIsTrueExactlyForCodeZeroWithOutDataOnFailure) {
  struct Case {
    const char* Name;
    std::function<std::int32_t(Variant&, Variant&, std::string&)> Handler;
    bool Result;
    LONG Code;
    std::string Description;
  } cases[] = {
      {"success", [](Variant&, Variant&, std::string&) { return 0; }, true, 0, ""},
      {"code only", [](Variant&, Variant&, std::string&) { return 1003; }, false, 1003,
       "Команда не поддерживается устройством"},
      {"own text", [](Variant&, Variant& out, std::string& d) { out = Variant(5); d = "Свой текст"; return 1004; },
       false, 1004, "Свой текст"},
      {"error", [](Variant&, Variant&, std::string&) -> std::int32_t { throw EDriverError("Сбой связи"); }, false,
       1001, "Сбой связи"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.Name);
    object->OnPublic = c.Handler;
    VARIANT out = Str("old");
    TArgs args{I4(0), Ref(out), I4(10)};
    TVariantHolder result;
    ASSERT_EQ(Invoke(sendMail, args, result.Put()), S_OK);
    EXPECT_EQ(V_VT(&result.Get()), VT_BOOL);
    EXPECT_EQ(V_BOOL(&result.Get()), c.Result ? VARIANT_TRUE : VARIANT_FALSE);
    const Variant seen = FromVariant(out);
    if (c.Result) {
      EXPECT_TRUE(seen.IsEmpty());
    } else {
      ASSERT_TRUE(seen.IsArray());
      ASSERT_EQ(seen.ArrayValue()->ElementCount(), 2u);
      EXPECT_EQ(seen.ArrayValue()->At({0}).IntValue(), c.Code);
      EXPECT_EQ(seen.ArrayValue()->At({1}).StrValue(), c.Description);
    }
    VariantClear(&out);
  }
}

// One by-reference argument of each storable type receives Params[0] as the handler set
// it, converted to the argument's type.
TEST_F(AutomationObjectTest, WritesBackThroughEveryStorableReferenceType) {
  union {
    SHORT i2;
    USHORT ui2;
    LONG i4;
    ULONG ui4;
    FLOAT r4;
    DOUBLE r8;
    CY cy;
    BSTR bstr;
    VARIANT_BOOL b;
    BYTE ui1;
    IDispatch* disp;
    CHAR i1;
    LONGLONG i8;
    ULONGLONG ui8;
    INT i;
    UINT ui;
    DECIMAL dec;
  } cell;
  IDispatch* someObject = dispatch.Get();
  struct Case {
    VARTYPE Type;
    Variant Stored;
    std::function<bool()> Check;
  } cases[] = {
      {VT_I2, Variant(300), [&] { return cell.i2 == 300; }},
      {VT_UI2, Variant(60000), [&] { return cell.ui2 == 60000; }},
      {VT_I4, Variant("123"), [&] { return cell.i4 == 123; }},
      {VT_UI4, Variant::I8(4000000000), [&] { return cell.ui4 == 4000000000u; }},
      {VT_R4, Variant(1.5), [&] { return cell.r4 == 1.5f; }},
      {VT_R8, Variant(2.25), [&] { return cell.r8 == 2.25; }},
      {VT_DATE, Variant(45000.5), [&] { return cell.r8 == 45000.5; }},
      {VT_CY, Variant(12.3456), [&] { return cell.cy.int64 == 123456; }},
      {VT_BSTR, Variant(42), [&] { return BstrToUtf8(cell.bstr) == "42"; }},
      {VT_BOOL, Variant(true), [&] { return cell.b == VARIANT_TRUE; }},
      {VT_UI1, Variant(200), [&] { return cell.ui1 == 200; }},
      {VT_I1, Variant(-100), [&] { return cell.i1 == -100; }},
      {VT_I8, Variant(-7.0), [&] { return cell.i8 == -7; }},
      {VT_UI8, Variant::UI8(18000000000000000000u), [&] { return cell.ui8 == 18000000000000000000u; }},
      {VT_INT, Variant("-9"), [&] { return cell.i == -9; }},
      {VT_UINT, Variant::UI4(4000000000u), [&] { return cell.ui == 4000000000u; }},
      {VT_DECIMAL, Variant(Decimal{3, true, 1, 5}),
       [&] { return cell.dec.scale == 3 && cell.dec.sign == DECIMAL_NEG && cell.dec.Hi32 == 1 && cell.dec.Lo64 == 5; }},
      {VT_DISPATCH, FromVariant([&] { VARIANT v; VariantInit(&v); V_VT(&v) = VT_DISPATCH; V_DISPATCH(&v) = someObject; return v; }()),
       [&] { return cell.disp == someObject; }},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.Type);
    std::memset(&cell, 0, sizeof cell);
    if (c.Type == VT_BSTR) cell.bstr = SysAllocString(L"old");  // released by the write-back
    object->OnPrivate = [&](SafeArray& p) {
      p.Elements()[0] = c.Stored;
      return Variant();
    };
    TArgs args{RefTo(c.Type, &cell)};
    ASSERT_EQ(Invoke(call, args), S_OK);
    EXPECT_TRUE(c.Check());
    if (c.Type == VT_BSTR) SysFreeString(cell.bstr);
    if (c.Type == VT_DISPATCH && cell.disp) cell.disp->Release();
  }
}

TEST_F(AutomationObjectTest, ByValueAndVariantReferencesReceiveTheElementItself) {
  VARIANT hostVariable = I4(1);
  object->OnPrivate = [](SafeArray& p) {
    p.Elements()[0] = Variant::Array({Variant("a"), Variant(true)});
    p.Elements()[1] = Variant("by value");
    return Variant(9);
  };
  TArgs args{Ref(hostVariable), I4(2)};
  TVariantHolder result;
  ASSERT_EQ(Invoke(call, args, result.Put()), S_OK);
  EXPECT_EQ(V_VT(&hostVariable), VT_ARRAY | VT_VARIANT);
  EXPECT_EQ(V_VT(&args[1]), VT_BSTR);  // only the host's argument vector changes
  EXPECT_EQ(V_I4(&result.Get()), 9);
  VariantClear(&hostVariable);
}

TEST_F(AutomationObjectTest, UnsupportedReferenceTypesFailTheCallWithoutEscaping) {
  for (VARTYPE type : {VARTYPE(VT_ARRAY | VT_VARIANT), VARTYPE(VT_UNKNOWN)}) {
    SCOPED_TRACE(type);
    unsigned char storage[32] = {};
    LONG second = 5;
    object->OnPrivate = [](SafeArray& p) {
      p.Elements()[1] = Variant(6);
      return Variant(1);
    };
    TArgs args{RefTo(type, storage), RefTo(VT_I4, &second)};
    TExcep excep;
    VARIANT result = I4(-1);
    EXPECT_EQ(Invoke(call, args, &result, &excep), DISP_E_EXCEPTION);
    EXPECT_EQ(excep.scode, 1001);
    EXPECT_EQ(BstrToUtf8(excep.bstrDescription), "Ошибка входных параметров команды");
    EXPECT_EQ(second, 5);  // the elements after the failing one are not written back
    EXPECT_EQ(V_I4(&result), -1);
  }
}

TEST_F(AutomationObjectTest, PrivateMethodErrorsReachTheHostAsExceptionInfo) {
  object->OnPrivate = [](SafeArray&) -> Variant { throw EConvertError("Значение 'x' не является числом"); };
  TArgs args{I4(1)};
  TExcep excep;
  excep.wCode = 7;
  VARIANT result = I4(-1);
  ASSERT_EQ(Invoke(call, args, &result, &excep), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.scode, 1001);
  EXPECT_EQ(BstrToUtf8(excep.bstrDescription), "Значение 'x' не является числом");
  EXPECT_EQ(BstrToUtf8(excep.bstrSource), "EConvertError");
  EXPECT_EQ(excep.wCode, 7);
  EXPECT_EQ(V_I4(&result), -1);
  // Without an EXCEPINFO the refusal is the same.
  EXPECT_EQ(Invoke(call, args, &result, nullptr), DISP_E_EXCEPTION);
}

TEST_F(AutomationObjectTest, ValuesTheCallLeavesAloneGoBackExactly) {
  VARIANT decimal;
  VariantInit(&decimal);
  V_DECIMAL(&decimal) = DECIMAL{};
  V_DECIMAL(&decimal).Lo64 = 12345;
  V_DECIMAL(&decimal).scale = 2;
  V_VT(&decimal) = VT_DECIMAL;
  VARIANT changed = I4(0);
  object->OnPrivate = [](SafeArray& p) {
    p.Elements()[1] = Variant(7);
    return Variant();
  };
  TArgs args{Ref(decimal), Ref(changed)};
  ASSERT_EQ(Invoke(call, args), S_OK);
  ASSERT_EQ(V_VT(&decimal), VT_DECIMAL);
  EXPECT_EQ(V_DECIMAL(&decimal).Lo64, 12345u);
  EXPECT_EQ(V_DECIMAL(&decimal).scale, 2);
  EXPECT_EQ(V_I4(&changed), 7);
}

TEST_F(AutomationObjectTest, ExposesNoTypeInformationAndErrorInfoForItsOwnInterfaces) {
  UINT count = 5;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
  ITypeInfo* info = nullptr;
  EXPECT_EQ(dispatch->GetTypeInfo(0, 0, &info), E_NOTIMPL);

  auto errorInfo = dispatch.Query<ISupportErrorInfo>(IID_ISupportErrorInfo);
  ASSERT_TRUE(errorInfo);
  EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IDispatch), S_OK);
  EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);
  EXPECT_FALSE(dispatch.Query<IClassFactory>(IID_IClassFactory));
}

}  // namespace
}  // namespace eqd::com
