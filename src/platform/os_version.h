// What the operating system says about its version, for the event log's header.
#pragma once

#include <cstdint>
#include <string>

namespace eqd::platform {

struct OsVersion {
  bool Known = false;    // the query succeeded
  bool Windows = false;  // the numbers are Windows' own (GetVersionExW)
  std::uint32_t Major = 0, Minor = 0, Build = 0, PlatformId = 0;
  std::string ServicePack;  // Windows: the service pack text, UTF-8; may be empty
  std::string Description;  // elsewhere: the system in its own terms ("Linux 6.1.0 (#1 SMP ...; x86_64)")
};

OsVersion QueryOsVersion();

}  // namespace eqd::platform
