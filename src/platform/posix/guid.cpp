#include "platform/guid.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>
#include <random>

namespace eqd::platform {

std::string NewGuidText() {
  std::uint8_t b[16];
  std::size_t got = 0;
  while (got < sizeof b) {
    const ssize_t n = ::getrandom(b + got, sizeof b - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    got += static_cast<std::size_t>(n);
  }
  if (got < sizeof b) {  // no kernel source of randomness: still unique enough per process
    std::random_device rd;
    for (auto& x : b) x = static_cast<std::uint8_t>(rd());
  }
  b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x40);  // version 4 (random)
  b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
  const std::uint32_t d1 = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
  const auto d2 = static_cast<std::uint16_t>((b[4] << 8) | b[5]);
  const auto d3 = static_cast<std::uint16_t>((b[6] << 8) | b[7]);
  std::array<std::uint8_t, 8> d4;
  std::memcpy(d4.data(), b + 8, 8);
  return GuidToText(d1, d2, d3, d4);
}

}  // namespace eqd::platform
