// UTF-8 (the core's strings) <-> UTF-16 (BSTR, the Windows API). Valid text goes both ways
// unchanged, embedded zero characters included; a malformed sequence on either side
// becomes U+FFFD instead of being dropped or passed on broken.
#pragma once

#include <string>
#include <string_view>

namespace eqd::com {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace eqd::com
