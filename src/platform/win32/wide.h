// UTF-8 <-> the system's wide strings for the Windows implementations: the core's strings
// are UTF-8, the system's wide functions take UTF-16 (wchar_t). The conversion is
// platform/utf16.h, with its rules for malformed text.
#pragma once

#include <string>
#include <string_view>

#include "platform/utf16.h"

namespace eqd::platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide strings are UTF-16");

inline std::wstring Utf8ToWide(std::string_view utf8) {
  const std::u16string utf16 = Utf8ToUtf16(utf8);
  return std::wstring(utf16.begin(), utf16.end());
}

inline std::string WideToUtf8(std::wstring_view wide) {
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

}  // namespace eqd::platform::win32
