// The small vocabulary for values that the rest of the driver shares: the type of a
// setting value, the readers of the n-th input value of an InData array, and the one
// text form in which every value is shown in the call trace and in log lines.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "automation/variant.h"

namespace eqd {

// The declared type of a setting value; the order is fixed.
enum TDataType : std::int32_t { dtNumber = 0, dtString = 1, dtDateTime = 2, dtBoolean = 3 };

// "Number", "String", "Date", "Boolean"; ERangeError for a value outside the type.
std::string DataTypeToText(TDataType type);

// Text typed in by a person, read as a value of the type: a number in the locale's
// format (0 when it is none), the text itself, a date in the locale's formats (the
// text itself as a string when it is none), or true exactly for "True" in any case.
Variant TextToValue(TDataType type, std::string_view text);

// Whether Data is an array whose element Index (in its first dimension) is given:
// false for a non-array, for an Index above the high bound, and for an Empty or Null
// element. An Index below the low bound is not checked here: reading it raises the
// array's ERangeError.
bool IsArrayItemAssigned(const Variant& Data, std::int32_t Index);
// The element (with its own type) when assigned, else Empty.
Variant GetArrayItem(const Variant& Data, std::int32_t Index);
// The element converted to a string when assigned, else Default.
std::string GetArrayItemStr(const Variant& Data, std::int32_t Index, std::string_view Default);

// The trace text of a value: "EMPTY", "NULL", numbers, 'strings' with CR LF shown as
// \n, True/False, $<object address>, and arrays as [(a; b; c)], one pair of
// parentheses per dimension, the last dimension outermost.
std::string ValueToText(const Variant& Value);
// The parameter array of a call, shown as a variant array.
std::string ValueToText(const SafeArray& Value);

// The text as one line of a log file or a terminal: a CR LF pair and every lone LF become
// the two characters "\n", a lone CR "\r", every other control character but the tab
// (NUL, ESC, BEL, DEL, ...) "\xHH" and a C1 control "\u00HH", so no text can start a
// line of its own or steer a terminal.
std::string VisibleControls(std::string_view Text);

// Whether the setting of that ID holds a secret (a password) that no file may show.
using TIsSecretSetting = std::function<bool(std::string_view ID)>;
// What is shown in place of a secret.
inline constexpr std::string_view kSecretMask = "********";
// A secret value as it may be shown: the mask, or the value itself when it is empty
// (Empty, Null or the empty text), so that a reader still sees whether one is set.
Variant MaskedSecret(const Variant& Value);
// ValueToText with the secrets hidden wherever a settings table appears in the value, at
// any depth: a two-dimensional array whose row 0 holds setting IDs, row 1 their values
// and row 3 their defaults. The values of a secret setting's column show as MaskedSecret.
std::string ValueToText(const Variant& Value, const TIsSecretSetting& IsSecret);
std::string ValueToText(const SafeArray& Value, const TIsSecretSetting& IsSecret);

}  // namespace eqd
