#include "platform/os_version.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace eqd::platform {

OsVersion QueryOsVersion() {
  OsVersion v;
  v.Windows = true;
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  // The numbers the system reports to a module without a compatibility manifest, which
  // is what the log has always shown.
  if (!GetVersionExW(&info)) return v;
#pragma GCC diagnostic pop
  v.Known = true;
  v.Major = info.dwMajorVersion;
  v.Minor = info.dwMinorVersion;
  v.Build = info.dwBuildNumber;
  v.PlatformId = info.dwPlatformId;
  v.ServicePack = win32::WideToUtf8(info.szCSDVersion);
  return v;
}

}  // namespace eqd::platform
