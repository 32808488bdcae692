// UTF-8 (the core's strings) <-> UTF-16 (BSTR, the Windows API): the one conversion every
// layer uses. Valid text goes both ways unchanged, embedded zero characters included; a
// malformed sequence on either side becomes U+FFFD instead of being dropped or passed on
// broken (a malformed UTF-8 sequence gives one U+FFFD per longest valid beginning, as
// DecodeUtf8 reads it). platform/win32/wide.h gives the same for std::wstring.
#pragma once

#include <string>
#include <string_view>

namespace eqd::platform {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace eqd::platform
