// Who this in-process server is: the names and the class identifier that the host looks
// up in the registry. Fixed at build time.
#pragma once

#include <string_view>

#include "com/guid.h"

namespace eqd::com {

inline constexpr std::string_view kServerName = "VxEq";
inline constexpr std::string_view kClassName = "vlmCommon";
inline constexpr std::string_view kProgID = "VxEq.vlmCommon";  // server name "." class name
inline constexpr std::string_view kClassDescription = "8.2 Equipment Driver 2.0";
inline constexpr TGuid kDriverClassID{
    0x5F3208C9, 0xAF02, 0x4EBE, {0xB7, 0xD9, 0x2F, 0xA8, 0xB5, 0x4F, 0x9B, 0x29}};

}  // namespace eqd::com
