#include "platform/clock.h"

#include <windows.h>

namespace eqd::platform {

ZonedTime NowZoned() {
  // One reading of the clock, turned into local time by the rules in force now; the
  // difference of the two is the offset.
  FILETIME utc{}, local{};
  GetSystemTimeAsFileTime(&utc);
  FileTimeToLocalFileTime(&utc, &local);
  SYSTEMTIME st{};
  FileTimeToSystemTime(&local, &st);
  ULARGE_INTEGER u{}, l{};
  u.LowPart = utc.dwLowDateTime;
  u.HighPart = utc.dwHighDateTime;
  l.LowPart = local.dwLowDateTime;
  l.HighPart = local.dwHighDateTime;
  const long long diff100ns = static_cast<long long>(l.QuadPart) - static_cast<long long>(u.QuadPart);
  ZonedTime z;
  z.Local = LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
  z.UtcOffsetMinutes = static_cast<int>(diff100ns / (10'000'000LL * 60));
  return z;
}

}  // namespace eqd::platform
