#include "platform/os_version.h"

#include <windows.h>

namespace eqd::platform {
namespace {

std::string Narrow(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  out.resize(static_cast<std::size_t>(n - 1));
  return out;
}

}  // namespace

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
  v.ServicePack = Narrow(info.szCSDVersion);
  return v;
}

}  // namespace eqd::platform
