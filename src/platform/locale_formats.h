// Number and date formats of the user's locale, in the core's own format language:
//   d dd  m mm  yy yyyy   day, month, year (one letter: no leading zero)
//   h hh  n nn  s ss  z zzz   hours, minutes, seconds, milliseconds
//   ampm  "AM"/"PM" (hours then run 1..12)
//   /  the date separator     :  the time separator
//   '...' or "..."  literal text; any other character stands for itself
#pragma once

#include <string>
#include <string_view>

namespace eqd::platform {

struct LocaleFormats {
  std::string DecimalSeparator = ".";
  std::string DateSeparator = ".";
  std::string TimeSeparator = ":";
  std::string ShortDateFormat = "dd.mm.yyyy";
  std::string LongTimeFormat = "hh:nn:ss";
};

// Windows: the user's locale. Linux: the locale the environment names (LC_ALL,
// LC_NUMERIC, LC_TIME, LANG), as setlocale(LC_ALL, "") would choose it, read without
// changing the process's own locale.
LocaleFormats UserLocaleFormats();

// Converters from the systems' own notations; empty when the picture holds something
// the core's format language cannot express (names of days or months, eras).
std::string StrftimeToFormat(std::string_view picture);       // "%d.%m.%Y", "%H:%M:%S"
std::string WindowsPictureToFormat(std::string_view picture);  // "dd.MM.yyyy", "H:mm:ss"

// The first character of a format that is not part of a field: the separator the
// format uses; `fallback` when it has none.
std::string FormatSeparator(std::string_view format, std::string_view fallback);

}  // namespace eqd::platform
