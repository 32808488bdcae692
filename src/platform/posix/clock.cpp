#include "platform/clock.h"

#include <sys/time.h>
#include <time.h>

namespace eqd::platform {

ZonedTime NowZoned() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  const time_t secs = tv.tv_sec;
  tm t{};
  localtime_r(&secs, &t);
  ZonedTime z;
  z.Local = LocalTime{t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                      static_cast<int>(tv.tv_usec / 1000)};
  z.UtcOffsetMinutes = static_cast<int>(t.tm_gmtoff / 60);
  return z;
}

}  // namespace eqd::platform
