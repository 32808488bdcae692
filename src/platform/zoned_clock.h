// The local wall clock together with its offset from UTC, for dates in message headers.
#pragma once

#include "platform/clock.h"

namespace eqd::platform {

struct ZonedTime {
  LocalTime Local;
  int UtcOffsetMinutes = 0;  // local time minus UTC: +180 for Moscow
};

ZonedTime NowZoned();

}  // namespace eqd::platform
