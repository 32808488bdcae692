#include "automation/format_settings.h"

#include <mutex>

#include "platform/locale_formats.h"

namespace eqd {
namespace {

std::mutex gLock;
std::shared_ptr<const TFormatSettings> gCurrent;

}  // namespace

TFormatSettings TFormatSettings::FromSystem() {
  const platform::LocaleFormats f = platform::UserLocaleFormats();
  TFormatSettings s;
  s.DecimalSeparator = f.DecimalSeparator;
  s.DateSeparator = f.DateSeparator;
  s.TimeSeparator = f.TimeSeparator;
  s.ShortDateFormat = f.ShortDateFormat;
  s.LongTimeFormat = f.LongTimeFormat;
  return s;
}

std::shared_ptr<const TFormatSettings> CurrentFormatSettings() {
  std::lock_guard<std::mutex> lock(gLock);
  if (!gCurrent) gCurrent = std::make_shared<const TFormatSettings>(TFormatSettings::FromSystem());
  return gCurrent;
}

void SetFormatSettings(const TFormatSettings& settings) {
  auto next = std::make_shared<const TFormatSettings>(settings);
  std::lock_guard<std::mutex> lock(gLock);
  gCurrent = std::move(next);
}

}  // namespace eqd
