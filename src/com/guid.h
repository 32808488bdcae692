// A class or interface identifier with the same memory layout as the platform's GUID,
// and its registry text form: braces, 8-4-4-4-12 upper-case hexadecimal digits.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace eqd::com {

struct TGuid {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0;
  std::uint16_t Data3 = 0;
  std::array<std::uint8_t, 8> Data4{};
  friend bool operator==(const TGuid&, const TGuid&) = default;
};

// "{5F3208C9-AF02-4EBE-B7D9-2FA8B54F9B29}"
std::string GuidToText(const TGuid& guid);
// Reads the registry text form (either letter case, braces required); nullopt otherwise.
std::optional<TGuid> TextToGuid(std::string_view text);

}  // namespace eqd::com
