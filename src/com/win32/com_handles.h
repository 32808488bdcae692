// Owners for the COM and registry handles the adapter uses: copying is refused, moving
// hands the handle over, and Put() releases the old value before giving out its address.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

#include "platform/unique_handle.h"
#include "platform/win32/wide.h"

namespace eqd::com {

using platform::TUniqueHandle;
using platform::win32::Utf8ToWide;
using platform::win32::WideToUtf8;

using TBstr = TUniqueHandle<BSTR, &SysFreeString>;
using TSafeArrayHandle = TUniqueHandle<SAFEARRAY*, &SafeArrayDestroy>;
using TRegKey = TUniqueHandle<HKEY, &RegCloseKey>;

// A VARIANT that is cleared when it goes out of scope.
class TVariantHolder {
 public:
  TVariantHolder() { VariantInit(&FValue); }
  TVariantHolder(TVariantHolder&& other) noexcept : FValue(other.FValue) { VariantInit(&other.FValue); }
  TVariantHolder& operator=(TVariantHolder&& other) noexcept {
    if (this != &other) {
      VariantClear(&FValue);
      FValue = other.FValue;
      VariantInit(&other.FValue);
    }
    return *this;
  }
  TVariantHolder(const TVariantHolder&) = delete;
  TVariantHolder& operator=(const TVariantHolder&) = delete;
  ~TVariantHolder() { VariantClear(&FValue); }

  VARIANT& Get() { return FValue; }
  const VARIANT& Get() const { return FValue; }
  VARIANT* operator->() { return &FValue; }
  const VARIANT* operator->() const { return &FValue; }
  // Clears the old value and gives the empty VARIANT to be filled.
  VARIANT* Put() {
    VariantClear(&FValue);
    return &FValue;
  }
  // Hands the value over to the caller, who clears it.
  VARIANT Detach() {
    VARIANT v = FValue;
    VariantInit(&FValue);
    return v;
  }

 private:
  VARIANT FValue;
};

// A counted reference to a COM interface.
template <typename T>
class TComPtr {
 public:
  TComPtr() = default;
  // Takes a reference of its own.
  explicit TComPtr(T* p) : FPtr(p) {
    if (FPtr) FPtr->AddRef();
  }
  TComPtr(const TComPtr& other) : TComPtr(other.FPtr) {}
  TComPtr(TComPtr&& other) noexcept : FPtr(std::exchange(other.FPtr, nullptr)) {}
  TComPtr& operator=(TComPtr other) noexcept {
    std::swap(FPtr, other.FPtr);
    return *this;
  }
  ~TComPtr() { Reset(); }

  // Adopts a reference the caller already owns.
  static TComPtr Attach(T* p) {
    TComPtr r;
    r.FPtr = p;
    return r;
  }
  T* Get() const { return FPtr; }
  T* operator->() const { return FPtr; }
  explicit operator bool() const { return FPtr != nullptr; }
  T** Put() {
    Reset();
    return &FPtr;
  }
  T* Detach() { return std::exchange(FPtr, nullptr); }
  void Reset() {
    if (FPtr) std::exchange(FPtr, nullptr)->Release();
  }
  template <typename U>
  TComPtr<U> Query(REFIID iid) const {
    TComPtr<U> r;
    if (FPtr) FPtr->QueryInterface(iid, reinterpret_cast<void**>(r.Put()));
    return r;
  }

 private:
  T* FPtr = nullptr;
};

// A new BSTR holding the UTF-8 text; raises an error when memory runs out.
TBstr MakeBstr(std::string_view utf8);
// The text of a BSTR, its embedded zeros included; a null BSTR is the empty string.
std::string BstrToUtf8(BSTR value);

}  // namespace eqd::com
