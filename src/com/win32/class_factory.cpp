#include "com/win32/class_factory.h"

#include <bit>

#include "com/server_identity.h"
#include "com/win32/automation_object.h"

namespace eqd::com {

static_assert(sizeof(TGuid) == sizeof(GUID));

TClassFactoryStruct DriverClassInfo() {
  return {kDriverClassID, std::string(kClassName), std::string(kClassDescription), ciMultiInstance, tmApartment, true};
}

HRESULT TClassFactory::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG TClassFactory::AddRef() { return static_cast<ULONG>(FServer.FactoryAddRef()); }
ULONG TClassFactory::Release() { return static_cast<ULONG>(FServer.FactoryRelease()); }

HRESULT TClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (out != nullptr) *out = nullptr;
  const HRESULT refusal = CheckCreateRequest(out != nullptr, outer != nullptr, IsEqualIID(iid, IID_IUnknown));
  if (refusal != S_OK) return refusal;

  TAutomationObject* object = nullptr;
  try {
    object = new TAutomationObject(FCreate(), outer);
  } catch (const std::exception& e) {
    return FServer.ReportCreationError(*this, e.what());
  } catch (...) {
    return FServer.ReportCreationError(*this, "");
  }
  // An aggregated object is held by the outer one through its own IUnknown.
  const HRESULT hr = object->InnerUnknown()->QueryInterface(iid, out);
  if (object->RefCount() == 0) delete object;
  return hr;
}

HRESULT TClassFactory::LockServer(BOOL lock) {
  const HRESULT hr = CoLockObjectExternal(static_cast<IClassFactory*>(this), lock, TRUE);
  FServer.LockServer(lock != FALSE);
  return hr;
}

HRESULT GetClassObject(TComServer* server, REFCLSID classID, REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (server == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = dynamic_cast<TClassFactory*>(server->FindFactory(std::bit_cast<TGuid>(classID)));
  if (factory == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
  return factory->QueryInterface(iid, out) == S_OK ? S_OK : E_NOINTERFACE;
}

}  // namespace eqd::com
