#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "platform/locale_formats.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace eqd::platform {
namespace {

std::string UserLocaleText(LCTYPE type) {
  wchar_t buf[128] = {};
  const int n = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, buf, 128);
  return n > 1 ? win32::WideToUtf8(std::wstring_view(buf, static_cast<std::size_t>(n - 1))) : std::string();
}

}  // namespace

LocaleFormats UserLocaleFormats() {
  LocaleFormats f;
  const std::string decimal = UserLocaleText(LOCALE_SDECIMAL);
  const std::string date = WindowsPictureToFormat(UserLocaleText(LOCALE_SSHORTDATE));
  const std::string time = WindowsPictureToFormat(UserLocaleText(LOCALE_STIMEFORMAT));
  if (!decimal.empty()) f.DecimalSeparator = decimal;
  if (!date.empty()) {
    f.ShortDateFormat = date;
    f.DateSeparator = FormatSeparator(date, f.DateSeparator);
  }
  if (!time.empty()) {
    f.LongTimeFormat = time;
    f.TimeSeparator = FormatSeparator(time, f.TimeSeparator);
  }
  return f;
}

}  // namespace eqd::platform
