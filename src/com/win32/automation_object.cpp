#include "com/win32/automation_object.h"

#include <cstdio>
#include <string>
#include <vector>

#include "automation/errors.h"
#include "automation/host_call.h"
#include "com/com_texts.h"
#include "com/server_module.h"
#include "com/win32/com_handles.h"
#include "com/win32/variant_convert.h"

namespace eqd::com {

// The core's HRESULT table is the platform's own.
static_assert(hrOk == S_OK && hrFalse == S_FALSE && hrNotImpl == E_NOTIMPL && hrNoInterface == E_NOINTERFACE &&
              hrPointer == E_POINTER && hrFail == E_FAIL && hrUnexpected == E_UNEXPECTED &&
              hrNoAggregation == CLASS_E_NOAGGREGATION && hrClassNotAvailable == CLASS_E_CLASSNOTAVAILABLE &&
              hrInvalidArg == E_INVALIDARG && hrDispException == DISP_E_EXCEPTION);

TAutomationObject::TAutomationObject(std::shared_ptr<TBaseObject> object, IUnknown* outer)
    : FOuter(outer ? outer : &FInner), FObject(std::move(object)) {
  if (TComServer* server = LoadedServer()) server->CountObject();
}

TAutomationObject::~TAutomationObject() {
  if (TComServer* server = LoadedServer()) server->UncountObject();
}

HRESULT TAutomationObject::TInnerUnknown::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown)) {
    *out = static_cast<IUnknown*>(this);
  } else if (IsEqualIID(iid, IID_IDispatch)) {
    *out = static_cast<IDispatch*>(Owner);
  } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
    *out = static_cast<ISupportErrorInfo*>(Owner);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // Through the interface handed out: an aggregated object's references belong to the
  // outer object, except the one on its own IUnknown.
  static_cast<IUnknown*>(*out)->AddRef();
  return S_OK;
}

ULONG TAutomationObject::TInnerUnknown::AddRef() { return ++Owner->FRefCount; }

ULONG TAutomationObject::TInnerUnknown::Release() {
  const ULONG n = --Owner->FRefCount;
  if (n == 0) delete Owner;
  return n;
}

HRESULT TAutomationObject::QueryInterface(REFIID iid, void** out) { return FOuter->QueryInterface(iid, out); }
ULONG TAutomationObject::AddRef() { return FOuter->AddRef(); }
ULONG TAutomationObject::Release() { return FOuter->Release(); }

HRESULT TAutomationObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT TAutomationObject::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

HRESULT TAutomationObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) {
  if (names == nullptr || ids == nullptr) return E_POINTER;
  try {
    // Only the first name counts; named arguments are not looked at.
    const DISPID id = names[0] ? FObject->FindMethod(WideToUtf8(names[0])) : -1;
    ids[0] = id;
    return id >= 0 ? S_OK : E_NOTIMPL;
  } catch (...) {
    ids[0] = -1;
    return E_OUTOFMEMORY;
  }
}

HRESULT TAutomationObject::ExceptionAnswer(const std::exception& error, EXCEPINFO* excep) {
  const std::string className = ErrorClassName(error);
  const std::string message = error.what();
  if (excep != nullptr) {
    excep->scode = kDriverErrorScode;
    const std::wstring description = Utf8ToWide(message);
    const std::wstring source = Utf8ToWide(className);
    excep->bstrDescription = SysAllocStringLen(description.data(), static_cast<UINT>(description.size()));
    excep->bstrSource = SysAllocStringLen(source.data(), static_cast<UINT>(source.size()));
  }
  try {
    FObject->WriteDebugLog("EXCEPTION", className + ", Invoke(): " + message);
  } catch (...) {
    // The host hears of the first error; a trace that cannot be written adds nothing.
  }
  return DISP_E_EXCEPTION;
}

HRESULT TAutomationObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO* excep, UINT*) {
  if (id >= kMaxDispID || !(flags & DISPATCH_METHOD)) return E_FAIL;
  const UINT count = params ? params->cArgs : 0;
  if (count != 0 && params->rgvarg == nullptr) return E_INVALIDARG;
  try {
    // Argument i is rgvarg[count - 1 - i], read as a copy of the final value behind any
    // by-reference links. `originals` keeps the copies as VARIANTs so that an element the
    // call leaves alone goes back exactly as it came, whatever the core can hold of it;
    // one the call changed (an I2 widened to I4 counts) goes back converted.
    std::vector<TVariantHolder> originals(count);
    std::vector<Variant> arguments(count);
    for (UINT i = 0; i < count; ++i) {
      VARIANT& copy = originals[i].Get();
      const HRESULT hr = VariantCopyInd(&copy, &FollowVariantRefs(params->rgvarg[count - 1 - i]));
      if (FAILED(hr)) throw EDriverError(std::string(kTextBadParameters));
      arguments[i] = FromVariant(copy);
    }

    Variant r;
    const HRESULT hr = CallAsHost(*FObject, id, arguments, r, [&](std::size_t i, const Variant& element) {
      WriteBack(element, params->rgvarg[count - 1 - i],
                SameValue(element, arguments[i]) ? &originals[i].Get() : nullptr);
    });
    if (hr == S_OK) {
      if (result != nullptr) {
        TVariantHolder value = ToVariant(r);
        VariantClear(result);
        *result = value.Detach();
      }
    }
    return hr;
  } catch (const std::exception& e) {
    return ExceptionAnswer(e, excep);
  } catch (...) {
    return ExceptionAnswer(EDriverError(std::string(kTextUnknownError)), excep);
  }
}

HRESULT TAutomationObject::InterfaceSupportsErrorInfo(REFIID iid) {
  return IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_ISupportErrorInfo)
             ? S_OK
             : S_FALSE;
}

}  // namespace eqd::com
