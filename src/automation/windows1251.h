// Windows-1251 (Cyrillic) <-> UTF-8. The call trace and the message body are written
// in this code page whatever the system's own one is.
#pragma once

#include <string>
#include <string_view>

namespace eqd {

// Characters Windows-1251 cannot hold become `replacement`; malformed UTF-8 bytes too.
std::string Utf8ToWindows1251(std::string_view utf8, char replacement = '?');
std::string Windows1251ToUtf8(std::string_view text);
// Whether every character of the UTF-8 text has a Windows-1251 byte.
bool FitsWindows1251(std::string_view utf8);

}  // namespace eqd
