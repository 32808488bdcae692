// A driver object seen the way a COM host sees it: methods reached by name only. The
// name is looked up as GetIDsOfNames does and the call is made as the COM object makes
// it (automation/host_call.h): the caller's arguments see the parameter array as it is
// after the call.
#pragma once

#include <memory>

#include "automation/base_object.h"
#include "automation/variant.h"

namespace eqd {

class TDriverDispatch : public DispatchObject {
 public:
  explicit TDriverDispatch(std::shared_ptr<TBaseObject> object) : FObject(std::move(object)) {}

  // Raises EHostError for an unknown name or a refused call (an HRESULT other than
  // S_OK); an error raised by a method with its own argument list goes on as it is.
  Variant Invoke(std::string_view name, std::vector<Variant>& args) override;

  TBaseObject& Object() { return *FObject; }

 private:
  std::shared_ptr<TBaseObject> FObject;
};

}  // namespace eqd
