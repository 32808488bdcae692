// Helpers for calling IDispatch the way a host does: arguments listed in the host's
// order and stored in rgvarg backwards, VARIANTs built and cleared by owners.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <algorithm>
#include <string>
#include <vector>

#include "com/win32/com_handles.h"

namespace eqd::com::testing {

inline VARIANT I2(SHORT v) { VARIANT x; VariantInit(&x); V_VT(&x) = VT_I2; V_I2(&x) = v; return x; }
inline VARIANT I4(LONG v) { VARIANT x; VariantInit(&x); V_VT(&x) = VT_I4; V_I4(&x) = v; return x; }
inline VARIANT R8(double v) { VARIANT x; VariantInit(&x); V_VT(&x) = VT_R8; V_R8(&x) = v; return x; }
inline VARIANT Str(const char* utf8) { VARIANT x; VariantInit(&x); V_VT(&x) = VT_BSTR; V_BSTR(&x) = MakeBstr(utf8).Detach(); return x; }
inline VARIANT Ref(VARIANT& target) { VARIANT x; VariantInit(&x); V_VT(&x) = VT_BYREF | VT_VARIANT; V_VARIANTREF(&x) = &target; return x; }
inline VARIANT RefTo(VARTYPE vt, void* target) { VARIANT x; VariantInit(&x); V_VT(&x) = VT_BYREF | vt; V_BYREF(&x) = target; return x; }

// The arguments of one call, in the host's order; cleared afterwards.
class TArgs {
 public:
  TArgs(std::initializer_list<VARIANT> hostOrder) : FArgs(hostOrder.begin(), hostOrder.end()) {
    std::reverse(FArgs.begin(), FArgs.end());
  }
  ~TArgs() {
    for (VARIANT& v : FArgs) VariantClear(&v);
  }
  TArgs(const TArgs&) = delete;
  TArgs& operator=(const TArgs&) = delete;
  DISPPARAMS* Params() {
    FParams = DISPPARAMS{FArgs.empty() ? nullptr : FArgs.data(), nullptr, static_cast<UINT>(FArgs.size()), 0};
    return &FParams;
  }
  // Argument i in the host's order, as the callee left it.
  VARIANT& operator[](std::size_t i) { return FArgs[FArgs.size() - 1 - i]; }

 private:
  std::vector<VARIANT> FArgs;
  DISPPARAMS FParams{};
};

// An EXCEPINFO whose strings are freed at the end of the test.
struct TExcep : EXCEPINFO {
  TExcep() : EXCEPINFO{} {}
  ~TExcep() {
    SysFreeString(bstrSource);
    SysFreeString(bstrDescription);
    SysFreeString(bstrHelpFile);
  }
  TExcep(const TExcep&) = delete;
  TExcep& operator=(const TExcep&) = delete;
};

inline DISPID IdOf(IDispatch* d, const wchar_t* name) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = -2;
  d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  return id;
}

}  // namespace eqd::com::testing
