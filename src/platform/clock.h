// The local wall clock, to the millisecond.
#pragma once

namespace eqd::platform {

struct LocalTime {
  int Year = 0, Month = 0, Day = 0;
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

LocalTime Now();

}  // namespace eqd::platform
