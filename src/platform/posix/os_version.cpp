#include "platform/os_version.h"

#include <sys/utsname.h>

namespace eqd::platform {

OsVersion QueryOsVersion() {
  OsVersion v;
  utsname u{};
  if (::uname(&u) != 0) return v;
  v.Known = true;
  v.Description = std::string(u.sysname) + " " + u.release + " (" + u.version + "; " + u.machine + ")";
  return v;
}

}  // namespace eqd::platform
