// New unique identifiers in the registry text form.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

namespace eqd::platform {

// A new random GUID as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case digits.
std::string NewGuidText();

// The registry text form of a GUID given by its fields.
inline std::string GuidToText(std::uint32_t data1, std::uint16_t data2, std::uint16_t data3,
                              const std::array<std::uint8_t, 8>& data4) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned long>(data1), unsigned{data2}, unsigned{data3}, unsigned{data4[0]},
                unsigned{data4[1]}, unsigned{data4[2]}, unsigned{data4[3]}, unsigned{data4[4]},
                unsigned{data4[5]}, unsigned{data4[6]}, unsigned{data4[7]});
  return buf;
}

}  // namespace eqd::platform
