// The one set of rules for reading a value as another type. By-reference values are
// read through their reference. A value that does not convert raises EConvertError
// with a message that names the value and the wanted type.
//
//   from        integer / double / currency      Boolean        string              date
//   Empty       0                                 false          ""                  0
//   Null        error                             error          ""                  error
//   Boolean     true is -1                        itself         "True"/"False"      -1 or 0 days
//   numbers     rounded half to even, range       not 0: true    decimal / general   the day number
//               checked                                          floating form
//   string      read in the locale's number       "True"/"False" itself              read in the locale's
//               format                            in any case,                       date and time formats
//                                                 or a number
//   decimal     exact, rounded half to even       not 0: true    every digit         the day number
//   date        its day number                    not 0: true    short date + long   itself
//                                                                time format
//   arrays, objects and other types: error
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "automation/format_settings.h"
#include "automation/variant.h"

namespace eqd {

std::int32_t VarToInt32(const Variant& v);
std::int64_t VarToInt64(const Variant& v);
double VarToDouble(const Variant& v);
bool VarToBool(const Variant& v);
std::string VarToStr(const Variant& v);
DateValue VarToDate(const Variant& v);
Currency VarToCurrency(const Variant& v);
// Numbers, Booleans, Empty and number texts (no exponent) as decimals.
Decimal VarToDecimal(const Variant& v);

// Text readers in the locale's formats (ASCII blanks around the text are skipped).
// A number: optional sign, digits with an optional decimal separator and fraction,
// an optional exponent; no thousands separators, no "inf" or "nan".
bool TryTextToFloat(std::string_view text, const TFormatSettings& fs, double& value);
bool TryTextToInt64(std::string_view text, std::int64_t& value);

// The general floating-point form: up to `digits` significant digits, the decimal
// separator of the settings, and the exponent form ("1E20", "1,5E-7") when the
// number is 1E`digits` or more or below 0.00001.
std::string FloatToText(double value, const TFormatSettings& fs, int digits = 15);
// A currency amount with all its decimals ("12,5" for 12.5000, "-0,0001").
std::string CurrencyToText(Currency value, const TFormatSettings& fs);
// A date in the short date and long time formats.
std::string DateToText(DateValue value, const TFormatSettings& fs);

// The type code as text, for messages: "VT_I4", "VT_BYREF|VT_VARIANT", "VT_ARRAY|VT_BSTR".
std::string VarTypeName(std::uint16_t vt);

}  // namespace eqd
