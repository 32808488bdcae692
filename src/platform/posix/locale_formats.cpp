#include "platform/locale_formats.h"

#include <langinfo.h>
#include <locale.h>

namespace eqd::platform {

LocaleFormats UserLocaleFormats() {
  LocaleFormats f;
  locale_t loc = ::newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
  if (loc == static_cast<locale_t>(nullptr)) return f;
  const std::string radix = ::nl_langinfo_l(RADIXCHAR, loc);
  std::string date = StrftimeToFormat(::nl_langinfo_l(D_FMT, loc));
  const std::string time = StrftimeToFormat(::nl_langinfo_l(T_FMT, loc));
  ::freelocale(loc);

  if (!radix.empty()) f.DecimalSeparator = radix;
  if (!date.empty()) {
    // A two-digit year cannot be read back without guessing the century; print all four.
    if (date.find("yyyy") == std::string::npos) {
      const std::size_t yy = date.find("yy");
      if (yy != std::string::npos) date.replace(yy, 2, "yyyy");
    }
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
