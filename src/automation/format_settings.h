// The locale-dependent parts of every conversion between values and text: the decimal
// separator and the date and time formats. One process-wide object, filled from the
// user's locale on first use (platform/locale_formats.h describes the format language);
// tests and hosts may replace it.
#pragma once

#include <memory>
#include <string>

namespace eqd {

struct TFormatSettings {
  std::string DecimalSeparator = ".";
  std::string DateSeparator = ".";     // what "/" in a date format stands for
  std::string TimeSeparator = ":";     // what ":" in a time format stands for
  std::string ShortDateFormat = "dd.mm.yyyy";
  std::string LongTimeFormat = "hh:nn:ss";

  // The formats of the user's locale (on Linux: the locale the environment names).
  static TFormatSettings FromSystem();
};

// The settings in force. The object handed out does not change while it is held; a
// later SetFormatSettings() installs a new one.
std::shared_ptr<const TFormatSettings> CurrentFormatSettings();
void SetFormatSettings(const TFormatSettings& settings);

}  // namespace eqd
