// The two directions between a COM IDispatch and the core's DispatchObject:
// - THostDispatch lets the core call a COM object (the host's equipment manager) by name;
// - MakeComDispatch exposes a core DispatchObject to COM callers as an IDispatch.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <string_view>
#include <vector>

#include "automation/errors.h"
#include "automation/variant.h"
#include "com/win32/com_handles.h"

namespace eqd::com {

// An automation call into a COM object that failed; the message is the object's own
// description when it gave one, else the system's text for the result code.
class EHostCallError : public EDriverError {
 public:
  EHostCallError(const std::string& message, HRESULT code)
      : EDriverError(message, "EHostCallError"), FCode(code) {}
  HRESULT Code() const { return FCode; }

 private:
  HRESULT FCode;
};

class THostDispatch : public DispatchObject {
 public:
  explicit THostDispatch(IDispatch* dispatch) : FDispatch(dispatch) {}

  // Looks the name up with GetIDsOfNames and, for script objects that answer only
  // through IDispatchEx, with GetDispID; calls it as a method (or property get) with the
  // arguments in order. By-reference arguments travel as VT_BYREF|VT_VARIANT, the one
  // by-reference form every script host writes back, and the callee's changes reach the
  // variables they refer to.
  Variant Invoke(std::string_view name, std::vector<Variant>& args) override;
  const void* Identity() const override { return FDispatch.Get(); }

  IDispatch* Dispatch() const { return FDispatch.Get(); }

 private:
  DISPID FindName(std::string_view name);

  TComPtr<IDispatch> FDispatch;
};

// A new object of a registered class, found by its ProgID (CLSIDFromProgID,
// CoCreateInstance) and called through its IDispatch: how a COM client such as the
// command-line host reaches the driver. The calling thread must have initialised COM.
// EHostCallError when the class is unknown or cannot be created.
DispatchPtr CreateComObject(std::string_view progID);

// An IDispatch (with one reference, owned by the caller) that calls `object` by name.
// Passing a THostDispatch gives back the COM object it wraps.
IDispatch* MakeComDispatch(const DispatchPtr& object);

}  // namespace eqd::com
