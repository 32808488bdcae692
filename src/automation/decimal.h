// Decimal numbers (variant.h's Decimal): their digits, their text and their rounding to
// integers, exact to the last of their up to 29 digits.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "automation/format_settings.h"
#include "automation/variant.h"

namespace eqd {

inline constexpr std::uint8_t kMaxDecimalScale = 28;

// The decimal digits of the 96-bit integer ("0" for zero).
std::string DecimalDigits(const Decimal& Value);
// The number with the digits and scale given; false when the digits need more than
// 96 bits or the scale is above 28.
bool DecimalFromDigits(std::string_view Digits, std::uint8_t Scale, bool Negative, Decimal& Value);
// round(Value * 10^Shift), half to even; false when the result does not fit 64 bits.
bool DecimalToScaledInt64(const Decimal& Value, int Shift, std::int64_t& Result);
// The nearest double.
double DecimalToDouble(const Decimal& Value);
// Every digit, with the decimal separator of the settings; a fraction loses its trailing
// zeros ("-12,5" for -12.500, "3" for 3.0).
std::string DecimalToText(const Decimal& Value, const TFormatSettings& Settings);
// Text typed as a plain decimal number: blanks around it, an optional sign, digits with
// an optional decimal separator and fraction, no exponent.
bool TryTextToDecimal(std::string_view Text, const TFormatSettings& Settings, Decimal& Value);

}  // namespace eqd
