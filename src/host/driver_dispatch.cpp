#include "host/driver_dispatch.h"

#include <cstdio>

#include "host/host_error.h"
#include "host/host_texts.h"

namespace eqd {

Variant TDriverDispatch::Invoke(std::string_view name, std::vector<Variant>& args) {
  const std::int32_t dispId = FObject->FindMethod(name);
  if (dispId < 0) throw EHostError(host_texts::kUnknownMethod + std::string(name));
  SafeArray params({ArrayBound{0, static_cast<std::uint32_t>(args.size())}});
  for (std::size_t i = 0; i < args.size(); ++i) {
    // A COM host hands an I2 over as I4; by-reference arguments arrive as their values.
    Variant value = args[i].Deref();
    params.Elements()[i] = value.Vt() == VT_I2 ? Variant(static_cast<std::int32_t>(value.IntValue())) : std::move(value);
  }
  Variant result;
  const std::int32_t hr = FObject->CallMethod(dispId, result, params);
  if (hr != hrOk) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    throw EHostError(host_texts::kCallRefused + std::string(text));
  }
  for (std::size_t i = 0; i < args.size(); ++i) args[i].Deref() = params.Elements()[i];
  return result;
}

}  // namespace eqd
