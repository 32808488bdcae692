#include "automation/host_call.h"

namespace eqd {

HResult CallAsHost(TBaseObject& Object, std::int32_t DispID, const std::vector<Variant>& Arguments, Variant& Result,
                   const THostWriteBack& WriteBack) {
  SafeArray params({ArrayBound{0, static_cast<std::uint32_t>(Arguments.size())}});
  for (std::size_t i = 0; i < Arguments.size(); ++i) {
    const Variant& value = Arguments[i].Deref();
    params.Elements()[i] = value.Vt() == VT_I2 ? Variant(static_cast<std::int32_t>(value.IntValue())) : value;
  }
  const HResult hr = Object.CallMethod(DispID, Result, params);
  if (hr != hrOk) return hr;
  const std::vector<Variant>& after = params.Elements();
  for (std::size_t i = 0; i < Arguments.size() && i < after.size(); ++i) WriteBack(i, after[i]);
  return hr;
}

}  // namespace eqd
