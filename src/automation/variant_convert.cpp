#include "automation/variant_convert.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "automation/ascii_case.h"
#include "automation/automation_texts.h"
#include "automation/date_time.h"
#include "automation/decimal.h"
#include "automation/errors.h"

namespace eqd {
namespace {

constexpr std::int64_t kCurrencyScale = 10000;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

// A text quoted for a message, cut to a readable length on a character boundary.
std::string Quoted(std::string_view s) {
  constexpr std::size_t kMax = 64;
  std::string out = "'";
  if (s.size() <= kMax) {
    out.append(s);
  } else {
    std::size_t cut = kMax;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
    out.append(s.substr(0, cut));
    out += "...";
  }
  return out + "'";
}

[[noreturn]] void RaiseType(const Variant& v, const char* target) {
  throw EConvertError(std::string(texts::kValueOfType) + " " + VarTypeName(v.Vt()) + " " + texts::kCannotBecome + " " +
                      target);
}

[[noreturn]] void RaiseText(std::string_view s, const char* what) {
  throw EConvertError(std::string(texts::kValue) + " " + Quoted(s) + " " + what);
}

[[noreturn]] void RaiseRange(const std::string& valueText, const char* target) {
  throw EConvertError(std::string(texts::kValue) + " " + valueText + " " + texts::kDoesNotFit + " " + target);
}

// The value itself, through any by-reference links; a link to nowhere or an array is
// not a convertible value.
const Variant& Target(const Variant& v, const char* target) {
  const Variant& x = v.Deref();
  if (x.IsByRef() || x.IsArray()) RaiseType(v, target);
  return x;
}

bool IsSignedInt(VarType t) { return t == VT_I1 || t == VT_I2 || t == VT_I4 || t == VT_I8 || t == VT_INT; }
bool IsUnsignedInt(VarType t) { return t == VT_UI1 || t == VT_UI2 || t == VT_UI4 || t == VT_UI8 || t == VT_UINT; }

std::int64_t RoundToInt64(double d, const char* target) {
  const double r = std::nearbyint(d);  // the default rounding mode: half to even
  if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0))
    RaiseRange(FloatToText(d, *CurrentFormatSettings()), target);
  return static_cast<std::int64_t>(r);
}

std::int64_t ToInt64(const Variant& v, const char* target) {
  const Variant& x = Target(v, target);
  const VarType t = x.BaseType();
  if (IsSignedInt(t)) return x.IntValue();
  if (IsUnsignedInt(t)) {
    if (x.UIntValue() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
      RaiseRange(std::to_string(x.UIntValue()), target);
    return static_cast<std::int64_t>(x.UIntValue());
  }
  switch (t) {
    case VT_EMPTY: return 0;
    case VT_BOOL: return x.BoolValue() ? -1 : 0;
    case VT_R4:
    case VT_R8:
    case VT_DATE: return RoundToInt64(x.DoubleValue(), target);
    case VT_DECIMAL: {
      std::int64_t i = 0;
      if (!DecimalToScaledInt64(x.DecimalValue(), 0, i))
        RaiseRange(DecimalToText(x.DecimalValue(), *CurrentFormatSettings()), target);
      return i;
    }
    case VT_CY: {
      const std::int64_t s = x.IntValue();
      std::int64_t q = s / kCurrencyScale;
      const std::int64_t r = s % kCurrencyScale;
      const std::int64_t half = kCurrencyScale / 2;
      if (r > half || (r == half && q % 2 != 0)) ++q;
      if (r < -half || (r == -half && q % 2 != 0)) --q;
      return q;
    }
    case VT_BSTR: {
      std::int64_t i = 0;
      if (TryTextToInt64(x.StrValue(), i)) return i;
      double d = 0;
      if (!TryTextToFloat(x.StrValue(), *CurrentFormatSettings(), d)) RaiseText(x.StrValue(), texts::kNotANumber);
      return RoundToInt64(d, target);
    }
    default: RaiseType(v, target);
  }
}

double ToDouble(const Variant& v, const char* target) {
  const Variant& x = Target(v, target);
  const VarType t = x.BaseType();
  if (IsSignedInt(t)) return static_cast<double>(x.IntValue());
  if (IsUnsignedInt(t)) return static_cast<double>(x.UIntValue());
  switch (t) {
    case VT_EMPTY: return 0;
    case VT_BOOL: return x.BoolValue() ? -1 : 0;
    case VT_R4:
    case VT_R8:
    case VT_DATE: return x.DoubleValue();
    case VT_CY: return static_cast<double>(x.IntValue()) / kCurrencyScale;
    case VT_DECIMAL: return DecimalToDouble(x.DecimalValue());
    case VT_BSTR: {
      double d = 0;
      if (!TryTextToFloat(x.StrValue(), *CurrentFormatSettings(), d)) RaiseText(x.StrValue(), texts::kNotANumber);
      return d;
    }
    default: RaiseType(v, target);
  }
}

}  // namespace

double VarToDouble(const Variant& v) { return ToDouble(v, texts::kToDouble); }

std::int64_t VarToInt64(const Variant& v) { return ToInt64(v, texts::kToInt64); }

std::int32_t VarToInt32(const Variant& v) {
  const std::int64_t i = ToInt64(v, texts::kToInt32);
  if (i < std::numeric_limits<std::int32_t>::min() || i > std::numeric_limits<std::int32_t>::max())
    RaiseRange(std::to_string(i), texts::kToInt32);
  return static_cast<std::int32_t>(i);
}

Currency VarToCurrency(const Variant& v) {
  const Variant& x = Target(v, texts::kToCurrency);
  const VarType t = x.BaseType();
  if (t == VT_CY) return Currency{x.IntValue()};
  if (t == VT_DECIMAL) {
    std::int64_t scaled = 0;
    if (!DecimalToScaledInt64(x.DecimalValue(), 4, scaled))
      RaiseRange(DecimalToText(x.DecimalValue(), *CurrentFormatSettings()), texts::kToCurrency);
    return Currency{scaled};
  }
  if (IsSignedInt(t) || IsUnsignedInt(t) || t == VT_BOOL || t == VT_EMPTY) {
    const std::int64_t i = ToInt64(x, texts::kToCurrency);
    if (i > std::numeric_limits<std::int64_t>::max() / kCurrencyScale ||
        i < std::numeric_limits<std::int64_t>::min() / kCurrencyScale)
      RaiseRange(std::to_string(i), texts::kToCurrency);
    return Currency{i * kCurrencyScale};
  }
  const double d = ToDouble(x, texts::kToCurrency);
  return Currency{RoundToInt64(d * kCurrencyScale, texts::kToCurrency)};
}

bool VarToBool(const Variant& v) {
  const Variant& x = Target(v, texts::kToBoolean);
  const VarType t = x.BaseType();
  if (IsSignedInt(t) || t == VT_CY) return x.IntValue() != 0;
  if (IsUnsignedInt(t)) return x.UIntValue() != 0;
  switch (t) {
    case VT_EMPTY: return false;
    case VT_BOOL: return x.BoolValue();
    case VT_DECIMAL: return x.DecimalValue().Hi32 != 0 || x.DecimalValue().Lo64 != 0;
    case VT_R4:
    case VT_R8:
    case VT_DATE: return x.DoubleValue() != 0;
    case VT_BSTR: {
      const std::string& s = x.StrValue();
      if (AsciiSameText(s, "True")) return true;
      if (AsciiSameText(s, "False")) return false;
      double d = 0;
      if (!TryTextToFloat(s, *CurrentFormatSettings(), d)) RaiseText(s, texts::kNotABoolean);
      return d != 0;
    }
    default: RaiseType(v, texts::kToBoolean);
  }
}

std::string VarToStr(const Variant& v) {
  const Variant& x = Target(v, texts::kToString);
  const VarType t = x.BaseType();
  if (IsSignedInt(t)) return std::to_string(x.IntValue());
  if (IsUnsignedInt(t)) return std::to_string(x.UIntValue());
  switch (t) {
    case VT_EMPTY:
    case VT_NULL: return {};
    case VT_BOOL: return x.BoolValue() ? "True" : "False";
    case VT_R4: return FloatToText(x.DoubleValue(), *CurrentFormatSettings(), 7);
    case VT_R8: return FloatToText(x.DoubleValue(), *CurrentFormatSettings());
    case VT_CY: return CurrencyToText(Currency{x.IntValue()}, *CurrentFormatSettings());
    case VT_DECIMAL: return DecimalToText(x.DecimalValue(), *CurrentFormatSettings());
    case VT_DATE: return DateToText(DateValue{x.DoubleValue()}, *CurrentFormatSettings());
    case VT_BSTR: return x.StrValue();
    default: RaiseType(v, texts::kToString);
  }
}

DateValue VarToDate(const Variant& v) {
  const Variant& x = Target(v, texts::kToDate);
  double days = 0;
  if (x.BaseType() == VT_BSTR) {
    if (!TryTextToDateTime(x.StrValue(), *CurrentFormatSettings(), days)) RaiseText(x.StrValue(), texts::kNotADate);
    return DateValue{days};
  }
  if (x.BaseType() == VT_DATE) return DateValue{x.DoubleValue()};
  if (x.BaseType() == VT_NULL) RaiseType(v, texts::kToDate);
  days = ToDouble(x, texts::kToDate);
  TDateTimeParts parts;
  if (!TryDecodeDateTime(days, parts)) RaiseRange(FloatToText(days, *CurrentFormatSettings()), texts::kToDate);
  return DateValue{days};
}

Decimal VarToDecimal(const Variant& v) {
  const Variant& x = Target(v, texts::kToDecimal);
  const VarType t = x.BaseType();
  const auto& fs = *CurrentFormatSettings();
  Decimal d{};
  if (t == VT_DECIMAL) return x.DecimalValue();
  if (IsUnsignedInt(t)) {
    DecimalFromDigits(std::to_string(x.UIntValue()), 0, false, d);
    return d;
  }
  if (IsSignedInt(t) || t == VT_BOOL || t == VT_EMPTY || t == VT_CY) {
    const std::int64_t i = t == VT_CY ? x.IntValue() : ToInt64(x, texts::kToDecimal);
    const std::uint64_t magnitude = i < 0 ? 0 - static_cast<std::uint64_t>(i) : static_cast<std::uint64_t>(i);
    DecimalFromDigits(std::to_string(magnitude), t == VT_CY ? 4 : 0, i < 0, d);
    return d;
  }
  if (t == VT_BSTR) {
    if (TryTextToDecimal(x.StrValue(), fs, d)) return d;
    RaiseText(x.StrValue(), texts::kNotANumber);
  }
  const std::string text = FloatToText(ToDouble(x, texts::kToDecimal), fs);
  if (!TryTextToDecimal(text, fs, d)) RaiseRange(text, texts::kToDecimal);
  return d;
}

bool TryTextToInt64(std::string_view text, std::int64_t& value) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool TryTextToFloat(std::string_view text, const TFormatSettings& fs, double& value) {
  text = Trim(text);
  std::string normal;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') normal += '-';
    ++i;
  }
  auto digits = [&] {
    std::size_t n = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') normal += text[i++], ++n;
    return n;
  };
  std::size_t mantissaDigits = digits();
  if (!fs.DecimalSeparator.empty() && text.substr(i, fs.DecimalSeparator.size()) == fs.DecimalSeparator) {
    i += fs.DecimalSeparator.size();
    normal += '.';
    mantissaDigits += digits();
  }
  if (mantissaDigits == 0) return false;
  bool negativeExponent = false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    normal += 'e';
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
      negativeExponent = text[i] == '-';
      normal += text[i++];
    }
    if (digits() == 0) return false;
  }
  if (i != text.size()) return false;
  double d = 0;
  const auto [end, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), d);
  if (ec == std::errc::result_out_of_range && negativeExponent) d = 0;  // too small to hold: zero
  else if (ec != std::errc() || end != normal.data() + normal.size()) return false;
  value = d;
  return true;
}

std::string FloatToText(double value, const TFormatSettings& fs, int digits) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0) return "0";
  if (digits < 1) digits = 1;
  if (digits > 17) digits = 17;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*e", digits - 1, value);
  const std::string_view s(buf);
  const std::size_t e = s.find('e');
  std::string mantissa;
  for (char c : s.substr(0, e))
    if (c >= '0' && c <= '9') mantissa += c;
  while (mantissa.size() > 1 && mantissa.back() == '0') mantissa.pop_back();
  int exponent = 0;
  std::from_chars(s.data() + e + 1 + (s[e + 1] == '+' ? 1 : 0), s.data() + s.size(), exponent);

  std::string out;
  if (value < 0) out += '-';
  if (exponent < digits && exponent >= -5) {
    if (exponent >= 0) {
      const auto intDigits = static_cast<std::size_t>(exponent) + 1;
      if (mantissa.size() <= intDigits) {
        out += mantissa;
        out.append(intDigits - mantissa.size(), '0');
      } else {
        out.append(mantissa, 0, intDigits);
        out += fs.DecimalSeparator;
        out.append(mantissa, intDigits);
      }
    } else {
      out += '0';
      out += fs.DecimalSeparator;
      out.append(static_cast<std::size_t>(-exponent - 1), '0');
      out += mantissa;
    }
  } else {
    out += mantissa[0];
    if (mantissa.size() > 1) {
      out += fs.DecimalSeparator;
      out.append(mantissa, 1);
    }
    out += 'E';
    out += std::to_string(exponent);
  }
  return out;
}

std::string CurrencyToText(Currency value, const TFormatSettings& fs) {
  const bool negative = value.Scaled < 0;
  const std::uint64_t a = negative ? 0 - static_cast<std::uint64_t>(value.Scaled) : static_cast<std::uint64_t>(value.Scaled);
  std::string out;
  if (negative) out += '-';
  out += std::to_string(a / kCurrencyScale);
  std::string frac = std::to_string(a % kCurrencyScale + kCurrencyScale);  // "1" and four digits
  while (frac.size() > 1 && frac.back() == '0') frac.pop_back();
  if (frac.size() > 1) {
    out += fs.DecimalSeparator;
    out.append(frac, 1);
  }
  return out;
}

std::string DateToText(DateValue value, const TFormatSettings& fs) {
  TDateTimeParts parts;
  if (!TryDecodeDateTime(value.Days, parts)) RaiseRange(FloatToText(value.Days, fs), texts::kToString);
  return FormatDateTime(fs.ShortDateFormat + " " + fs.LongTimeFormat, parts, fs);
}

std::string VarTypeName(std::uint16_t vt) {
  static constexpr const char* kNames[] = {
      "VT_EMPTY", "VT_NULL", "VT_I2",      "VT_I4",      "VT_R4",      "VT_R8",  "VT_CY",  "VT_DATE",
      "VT_BSTR",  "VT_DISPATCH", "VT_ERROR", "VT_BOOL", "VT_VARIANT", "VT_UNKNOWN", "VT_DECIMAL", nullptr,
      "VT_I1",    "VT_UI1",  "VT_UI2",     "VT_UI4",     "VT_I8",      "VT_UI8", "VT_INT", "VT_UINT",
  };
  std::string out;
  if (vt & VT_BYREF) out += "VT_BYREF|";
  if (vt & VT_ARRAY) out += "VT_ARRAY|";
  const unsigned base = vt & VT_TYPEMASK;
  if (base < std::size(kNames) && kNames[base] != nullptr) out += kNames[base];
  else out += "VT_" + std::to_string(base);
  return out;
}

}  // namespace eqd
