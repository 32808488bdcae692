#include "platform/clock.h"

#include <windows.h>

namespace eqd::platform {

LocalTime Now() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

}  // namespace eqd::platform
