#include "platform/guid.h"

#include <windows.h>
#include <objbase.h>
#include <rpc.h>

#include <cstring>

namespace eqd::platform {

std::string NewGuidText() {
  GUID g{};
  if (FAILED(CoCreateGuid(&g))) {
    // CoCreateGuid only fails without a random source; UuidCreate is its own fallback.
    UuidCreate(&g);
  }
  std::array<std::uint8_t, 8> d4;
  std::memcpy(d4.data(), g.Data4, 8);
  return GuidToText(g.Data1, g.Data2, g.Data3, d4);
}

}  // namespace eqd::platform
