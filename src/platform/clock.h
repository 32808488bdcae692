// The local wall clock, to the millisecond, and its offset from UTC.
#pragma once

namespace eqd::platform {

struct LocalTime {
  int Year = 0, Month = 0, Day = 0;
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

struct ZonedTime {
  LocalTime Local;
  int UtcOffsetMinutes = 0;  // local time minus UTC: +180 for Moscow
};

// One reading of the clock as local time with the offset in force at that moment (the
// offset is what dates in message headers need).
ZonedTime NowZoned();

inline LocalTime Now() { return NowZoned().Local; }

}  // namespace eqd::platform
