#include "automation/decimal.h"

#include <charconv>
#include <limits>

namespace eqd {
namespace {

// The 96-bit integer as three 32-bit limbs, most significant first.
struct TLimbs {
  std::uint32_t Part[3];
};

TLimbs LimbsOf(const Decimal& d) {
  return {{d.Hi32, static_cast<std::uint32_t>(d.Lo64 >> 32), static_cast<std::uint32_t>(d.Lo64)}};
}

bool IsZero(const TLimbs& l) { return l.Part[0] == 0 && l.Part[1] == 0 && l.Part[2] == 0; }

// l := l / 10; returns the remainder.
unsigned DivideBy10(TLimbs& l) {
  std::uint64_t rest = 0;
  for (std::uint32_t& part : l.Part) {
    const std::uint64_t value = (rest << 32) | part;
    part = static_cast<std::uint32_t>(value / 10);
    rest = value % 10;
  }
  return static_cast<unsigned>(rest);
}

// l := l * 10 + digit; false on overflow.
bool MultiplyBy10Add(TLimbs& l, unsigned digit) {
  std::uint64_t carry = digit;
  for (int k = 2; k >= 0; --k) {
    const std::uint64_t value = std::uint64_t{l.Part[k]} * 10 + carry;
    l.Part[k] = static_cast<std::uint32_t>(value);
    carry = value >> 32;
  }
  return carry == 0;
}

// The digits with zeros in front, so that there are at least `length` of them.
std::string PadLeft(const std::string& digits, std::size_t length) {
  if (digits.size() >= length) return digits;
  std::string out(length - digits.size(), '0');
  out += digits;
  return out;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

}  // namespace

std::string DecimalDigits(const Decimal& Value) {
  TLimbs l = LimbsOf(Value);
  std::string reversed;
  do reversed += static_cast<char>('0' + DivideBy10(l));
  while (!IsZero(l));
  return std::string(reversed.rbegin(), reversed.rend());
}

bool DecimalFromDigits(std::string_view Digits, std::uint8_t Scale, bool Negative, Decimal& Value) {
  if (Scale > kMaxDecimalScale) return false;
  TLimbs l{{0, 0, 0}};
  for (const char c : Digits) {
    if (c < '0' || c > '9' || !MultiplyBy10Add(l, static_cast<unsigned>(c - '0'))) return false;
  }
  Value = Decimal{Scale, Negative, l.Part[0], (std::uint64_t{l.Part[1]} << 32) | l.Part[2]};
  return true;
}

bool DecimalToScaledInt64(const Decimal& Value, int Shift, std::int64_t& Result) {
  std::string digits = DecimalDigits(Value);
  const int scale = Value.Scale - Shift;
  bool up = false;
  if (scale <= 0) {
    digits.append(static_cast<std::size_t>(-scale), '0');
  } else {
    const auto fraction = static_cast<std::size_t>(scale);
    digits = PadLeft(digits, fraction + 1);
    const std::string_view rest = std::string_view(digits).substr(digits.size() - fraction);
    const char first = rest[0];
    const bool beyondHalf = rest.find_first_not_of('0', 1) != std::string_view::npos;
    const bool odd = (digits[digits.size() - fraction - 1] - '0') % 2 != 0;
    up = first > '5' || (first == '5' && (beyondHalf || odd));
    digits.resize(digits.size() - fraction);
  }
  std::uint64_t magnitude = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
  if (ec != std::errc() || end != digits.data() + digits.size()) return false;
  if (up) {
    if (magnitude == std::numeric_limits<std::uint64_t>::max()) return false;
    ++magnitude;
  }
  const std::uint64_t limit = std::uint64_t{1} << 63;  // |INT64_MIN|
  if (Value.Negative ? magnitude > limit : magnitude >= limit) return false;
  Result = Value.Negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
  return true;
}

double DecimalToDouble(const Decimal& Value) {
  std::string text;
  if (Value.Negative) text += '-';
  text += DecimalDigits(Value);
  text += "e-";
  text += std::to_string(Value.Scale);
  double d = 0;
  std::from_chars(text.data(), text.data() + text.size(), d);
  return d;
}

std::string DecimalToText(const Decimal& Value, const TFormatSettings& Settings) {
  const std::size_t scale = Value.Scale;
  const std::string digits = PadLeft(DecimalDigits(Value), scale + 1);
  std::string whole = digits.substr(0, digits.size() - scale);
  std::string fraction = digits.substr(digits.size() - scale);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  std::string out;
  if (Value.Negative && (whole != "0" || !fraction.empty())) out += '-';
  out += whole;
  if (!fraction.empty()) {
    out += Settings.DecimalSeparator;
    out += fraction;
  }
  return out;
}

bool TryTextToDecimal(std::string_view Text, const TFormatSettings& Settings, Decimal& Value) {
  while (!Text.empty() && IsSpace(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && IsSpace(Text.back())) Text.remove_suffix(1);
  bool negative = false;
  if (!Text.empty() && (Text.front() == '+' || Text.front() == '-')) {
    negative = Text.front() == '-';
    Text.remove_prefix(1);
  }
  std::string digits;
  std::size_t i = 0;
  while (i < Text.size() && Text[i] >= '0' && Text[i] <= '9') digits += Text[i++];
  std::size_t scale = 0;
  if (!Settings.DecimalSeparator.empty() && Text.substr(i, Settings.DecimalSeparator.size()) == Settings.DecimalSeparator) {
    i += Settings.DecimalSeparator.size();
    while (i < Text.size() && Text[i] >= '0' && Text[i] <= '9') digits += Text[i++], ++scale;
  }
  if (digits.empty() || i != Text.size() || scale > kMaxDecimalScale) return false;
  return DecimalFromDigits(digits, static_cast<std::uint8_t>(scale), negative, Value);
}

}  // namespace eqd
