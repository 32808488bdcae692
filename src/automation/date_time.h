// Automation dates (days since 1899-12-30, the time of day as the fraction) to and from
// their parts and their text in the locale's formats.
#pragma once

#include <string>
#include <string_view>

#include "automation/format_settings.h"

namespace eqd {

struct TDateTimeParts {
  int Year = 1899, Month = 12, Day = 30;
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// The span of automation dates: 0100-01-01 to 9999-12-31.
inline constexpr double kMinDateDays = -657434.0;
inline constexpr double kMaxDateDays = 2958466.0;  // exclusive: the day after 9999-12-31

// False for parts that name no date or time (month 13, 24:00, 29 February of 2023...).
bool TryEncodeDateTime(const TDateTimeParts& parts, double& days);
// False for a day number outside the span above (and for NaN and infinities).
// The time of day is rounded to the millisecond; for a negative day number the
// fraction counts forward from the start of that day, as automation dates do.
bool TryDecodeDateTime(double days, TDateTimeParts& parts);

// The parts formatted by a format of the core's format language (platform/locale_formats.h).
std::string FormatDateTime(std::string_view format, const TDateTimeParts& parts, const TFormatSettings& fs);

// Reads "<date>", "<date> <time>" or "<time>" in the locale's formats: the date's
// fields in the order of ShortDateFormat, separated by DateSeparator; the time as
// hours, minutes and optional seconds and milliseconds separated by TimeSeparator
// (milliseconds after a dot or the decimal separator), optionally followed by AM or PM.
// A year of one or two digits means 2000-2049 for 0-49 and 1950-1999 for 50-99.
bool TryTextToDateTime(std::string_view text, const TFormatSettings& fs, double& days);

}  // namespace eqd
