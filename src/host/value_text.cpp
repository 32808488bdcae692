#include "host/value_text.h"

#include <cstdio>

namespace eqd {

std::string HostValueText(const Variant& value) {
  const Variant& v = value.Deref();
  if (v.IsArray()) return v.ArrayValue() == nullptr ? "EMPTY" : "[...]";
  char buf[64];
  switch (v.BaseType()) {
    case VT_EMPTY:
      return "EMPTY";
    case VT_NULL:
      return "NULL";
    case VT_I1:
    case VT_I2:
    case VT_I4:
    case VT_I8:
      return std::to_string(v.IntValue());
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
      return std::to_string(v.UIntValue());
    case VT_R4:
    case VT_R8:
    case VT_DATE:
      std::snprintf(buf, sizeof buf, "%.15g", v.DoubleValue());
      return buf;
    case VT_CY:
      std::snprintf(buf, sizeof buf, "%.15g", static_cast<double>(v.IntValue()) / 10000.0);
      return buf;
    case VT_BSTR:
      return "'" + v.StrValue() + "'";
    case VT_BOOL:
      return v.BoolValue() ? "True" : "False";
    default:
      return "";
  }
}

}  // namespace eqd
