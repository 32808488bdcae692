#include "host/driver_dispatch.h"

#include <cstdio>

#include "automation/host_call.h"
#include "host/host_error.h"
#include "host/host_texts.h"

namespace eqd {

Variant TDriverDispatch::Invoke(std::string_view name, std::vector<Variant>& args) {
  const std::int32_t dispId = FObject->FindMethod(name);
  if (dispId < 0) throw EHostError(host_texts::kUnknownMethod + std::string(name));
  Variant result;
  const HResult hr = CallAsHost(*FObject, dispId, args, result,
                                [&](std::size_t i, const Variant& element) { args[i].Deref() = element; });
  if (hr != hrOk) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    throw EHostError(host_texts::kCallRefused + std::string(text));
  }
  return result;
}

}  // namespace eqd
