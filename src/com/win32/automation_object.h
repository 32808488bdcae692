// The COM face of a driver object: IDispatch and ISupportErrorInfo around a TBaseObject.
// GetIDsOfNames maps a name to the position of the method in the object's table, Invoke
// copies the host's arguments into the parameter array, calls CallMethod and writes the
// array back into the host's by-reference arguments. No exception leaves a COM method.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <memory>

#include "automation/base_object.h"

namespace eqd::com {

// COM interfaces have no virtual destructor by design: objects delete themselves in
// Release, never through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class TAutomationObject final : public IDispatch, public ISupportErrorInfo {
 public:
  // Takes the object over and counts itself in the loaded server (if any). The reference
  // count starts at 0: the creator queries the interface it wants. With `outer` the
  // object is aggregated: its IUnknown methods go to the outer object, and the outer
  // object holds it through InnerUnknown().
  TAutomationObject(std::shared_ptr<TBaseObject> object, IUnknown* outer);
  ~TAutomationObject();
  TAutomationObject(const TAutomationObject&) = delete;
  TAutomationObject& operator=(const TAutomationObject&) = delete;

  // The object's own IUnknown, which never delegates.
  IUnknown* InnerUnknown() { return &FInner; }
  ULONG RefCount() const { return FRefCount.load(); }
  TBaseObject& Object() { return *FObject; }

  // IUnknown: to the controlling unknown.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* excep, UINT* argError) override;

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

 private:
  struct TInnerUnknown final : IUnknown {
    TAutomationObject* Owner;
    explicit TInnerUnknown(TAutomationObject* owner) : Owner(owner) {}
    virtual ~TInnerUnknown() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
  };

  // DISP_E_EXCEPTION for an error raised out of CallMethod or the write-back.
  HRESULT ExceptionAnswer(const std::exception& error, EXCEPINFO* excep);

  TInnerUnknown FInner{this};
  IUnknown* FOuter;  // the controlling unknown: the outer object, or FInner
  std::atomic<ULONG> FRefCount{0};
  std::shared_ptr<TBaseObject> FObject;  // with the deleter its creator chose
};
#pragma GCC diagnostic pop

// DISPIDs of 100000 and above are refused without a look at the table.
inline constexpr DISPID kMaxDispID = 100000;
// The scode a driver's own error carries in EXCEPINFO.
inline constexpr SCODE kDriverErrorScode = 1001;

}  // namespace eqd::com
