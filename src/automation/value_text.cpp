#include "automation/value_text.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

#include "automation/ascii_case.h"
#include "automation/automation_texts.h"
#include "automation/date_time.h"
#include "automation/errors.h"
#include "automation/variant_convert.h"
#include "platform/utf8.h"

namespace eqd {
namespace {

using platform::AppendUtf8;

std::string StringText(const std::string& s) {
  std::string out = "'";
  out.reserve(s.size() + 2);
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
      out += "\\n";
      ++i;
    } else {
      out += s[i];
    }
  }
  return out + "'";
}

// One character whose code is the byte's value.
std::string ByteCharText(std::uint64_t b) {
  std::string out;
  AppendUtf8(out, static_cast<unsigned char>(b));
  return out;
}

std::string DispatchText(const DispatchPtr& d) {
  const void* p = d ? d->Identity() : nullptr;
  char buf[2 + 2 * sizeof(void*)];
  std::snprintf(buf, sizeof buf, "$%0*" PRIXPTR, static_cast<int>(2 * sizeof(void*)), reinterpret_cast<std::uintptr_t>(p));
  return buf;
}

std::string DateText(double days) {
  const auto fs = CurrentFormatSettings();
  TDateTimeParts parts;
  // A day number no calendar holds is shown as the number rather than failing the trace.
  if (!TryDecodeDateTime(days, parts)) return FloatToText(days, *fs);
  return FormatDateTime(fs->ShortDateFormat + " " + fs->LongTimeFormat, parts, *fs);
}

// The group of dimension `dim` (0-based) whose first element is at flat offset `base`;
// stride[d] is how far apart two neighbours in dimension d lie in the flat storage.
void AppendGroup(std::string& out, const SafeArray& a, const std::vector<std::size_t>& stride, std::size_t dim,
                 std::size_t base) {
  out += '(';
  const std::uint32_t count = a.Bound(dim).Count;
  for (std::uint32_t k = 0; k < count; ++k) {
    if (dim == 0) {
      if (k > 0) out += "; ";
      out += ValueToText(a.Elements()[base + k]);
    } else {
      AppendGroup(out, a, stride, dim - 1, base + k * stride[dim]);
    }
  }
  out += ')';
}

bool IsBlankSecret(const Variant& v) {
  const Variant& x = v.Deref();
  return x.IsEmptyOrNull() || (x.Vt() == VT_BSTR && x.StrValue().empty());
}

bool HideSecrets(Variant& v, const TIsSecretSetting& isSecret);

// Hides the secrets of a settings table and of every array inside the array; true when
// anything was hidden.
bool HideSecrets(SafeArray& a, const TIsSecretSetting& isSecret) {
  constexpr std::int64_t kRowID = 0, kValueRows[] = {1, 3};
  bool hidden = false;
  if (a.DimCount() == 2 && a.LowBound(0) <= kRowID && a.HighBound(0) >= 1) {
    for (std::int64_t j = a.LowBound(1); j <= a.HighBound(1); ++j) {
      const Variant& id = a.At({kRowID, j}).Deref();
      if (id.Vt() != VT_BSTR || !isSecret(id.StrValue())) continue;
      for (const std::int64_t row : kValueRows) {
        if (row > a.HighBound(0)) continue;
        Variant& value = a.At({row, j});
        if (IsBlankSecret(value)) continue;
        value = Variant(kSecretMask);
        hidden = true;
      }
    }
  }
  for (Variant& e : a.Elements()) hidden = HideSecrets(e, isSecret) || hidden;
  return hidden;
}

bool HideSecrets(Variant& v, const TIsSecretSetting& isSecret) {
  if (v.IsByRef()) {
    // The copy must not write through the reference: an array behind it is copied and
    // takes the reference's place (both show the same text).
    const Variant& target = v.Deref();
    if (target.IsByRef() || !target.IsArray() || target.ArrayValue() == nullptr) return false;
    Variant copy = target;
    if (!HideSecrets(*copy.ArrayValue(), isSecret)) return false;
    v = std::move(copy);
    return true;
  }
  return v.IsArray() && v.ArrayValue() != nullptr && HideSecrets(*v.ArrayValue(), isSecret);
}

// `prefix` and the byte as two hexadecimal digits.
void AppendEscape(std::string& out, const char* prefix, unsigned char c) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out.append(prefix);
  out.push_back(kHex[c >> 4]);
  out.push_back(kHex[c & 0xF]);
}

}  // namespace

std::string VisibleControls(std::string_view Text) {
  std::string out;
  out.reserve(Text.size());
  for (std::size_t i = 0; i < Text.size(); ++i) {
    const auto c = static_cast<unsigned char>(Text[i]);
    if (c == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n') {
      out += "\\n";
      ++i;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if ((c < 0x20 && c != '\t') || c == 0x7F) {
      AppendEscape(out, "\\x", c);
    } else if (c == 0xC2 && i + 1 < Text.size() && static_cast<unsigned char>(Text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(Text[i + 1]) <= 0x9F) {
      AppendEscape(out, "\\u00", static_cast<unsigned char>(Text[++i]));
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

Variant MaskedSecret(const Variant& Value) { return IsBlankSecret(Value) ? Value : Variant(kSecretMask); }

std::string ValueToText(const Variant& Value, const TIsSecretSetting& IsSecret) {
  Variant copy = Value;
  return HideSecrets(copy, IsSecret) ? ValueToText(copy) : ValueToText(Value);
}

std::string ValueToText(const SafeArray& Value, const TIsSecretSetting& IsSecret) {
  SafeArray copy = Value;
  return HideSecrets(copy, IsSecret) ? ValueToText(copy) : ValueToText(Value);
}

std::string DataTypeToText(TDataType type) {
  switch (type) {
    case dtNumber: return "Number";
    case dtString: return "String";
    case dtDateTime: return "Date";
    case dtBoolean: return "Boolean";
  }
  throw ERangeError(std::string(texts::kUnknownDataType) + ": " + std::to_string(static_cast<std::int32_t>(type)));
}

Variant TextToValue(TDataType type, std::string_view text) {
  const auto fs = CurrentFormatSettings();
  switch (type) {
    case dtNumber: {
      double d = 0;
      return Variant(TryTextToFloat(text, *fs, d) ? d : 0.0);
    }
    case dtString: return Variant(text);
    case dtDateTime: {
      double days = 0;
      if (TryTextToDateTime(text, *fs, days)) return Variant(DateValue{days});
      return Variant(text);
    }
    case dtBoolean: return Variant(AsciiSameText(text, "True"));
  }
  throw ERangeError(std::string(texts::kUnknownDataType) + ": " + std::to_string(static_cast<std::int32_t>(type)));
}

bool IsArrayItemAssigned(const Variant& Data, std::int32_t Index) {
  const Variant& d = Data.Deref();
  if (!d.IsArray() || d.IsByRef() || d.ArrayValue() == nullptr || d.ArrayValue()->DimCount() == 0) return false;
  const SafeArray& a = *d.ArrayValue();
  if (Index > a.HighBound(0)) return false;
  return !a.At({Index}).Deref().IsEmptyOrNull();
}

Variant GetArrayItem(const Variant& Data, std::int32_t Index) {
  if (!IsArrayItemAssigned(Data, Index)) return Variant();
  return Data.Deref().ArrayValue()->At({Index});
}

std::string GetArrayItemStr(const Variant& Data, std::int32_t Index, std::string_view Default) {
  if (!IsArrayItemAssigned(Data, Index)) return std::string(Default);
  return VarToStr(Data.Deref().ArrayValue()->At({Index}));
}

std::string ValueToText(const SafeArray& a) {
  std::string out = "[";
  if (a.DimCount() > 0) {
    std::vector<std::size_t> stride(a.DimCount(), 1);
    for (std::size_t d = 1; d < a.DimCount(); ++d) stride[d] = stride[d - 1] * a.Bound(d - 1).Count;
    AppendGroup(out, a, stride, a.DimCount() - 1, 0);
  }
  return out + "]";
}

std::string ValueToText(const Variant& Value) {
  if (Value.IsByRef()) {
    const Variant* target = Value.RefTarget();
    if (target == nullptr) return {};
    if (Value.BaseType() == VT_VARIANT && !Value.IsArray()) {
      // A reference to a variant shows the referenced value by the general conversion
      // to string; what has no string form (arrays, objects) shows its own text.
      const Variant& t = target->Deref();
      if (t.IsArray() || t.IsByRef()) return ValueToText(t);
      try {
        return VarToStr(t);
      } catch (const EConvertError&) {
        return ValueToText(t);
      }
    }
    return ValueToText(*target);
  }
  if (Value.IsArray()) return Value.ArrayValue() == nullptr ? "EMPTY" : ValueToText(*Value.ArrayValue());
  switch (Value.BaseType()) {
    case VT_EMPTY: return "EMPTY";
    case VT_NULL: return "NULL";
    case VT_I2:
    case VT_I4: return std::to_string(Value.IntValue());
    case VT_R4: return FloatToText(Value.DoubleValue(), *CurrentFormatSettings(), 7);
    case VT_R8: return FloatToText(Value.DoubleValue(), *CurrentFormatSettings());
    case VT_CY: return FloatToText(static_cast<double>(Value.IntValue()) / 10000.0, *CurrentFormatSettings());
    case VT_DATE: return DateText(Value.DoubleValue());
    case VT_BSTR: return StringText(Value.StrValue());
    case VT_DISPATCH: return DispatchText(Value.DispValue());
    case VT_BOOL: return Value.BoolValue() ? "True" : "False";
    case VT_UI1: return ByteCharText(Value.UIntValue());
    default: return {};
  }
}

}  // namespace eqd
