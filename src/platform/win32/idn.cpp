#include "platform/idn.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace eqd::platform {

std::optional<std::string> DomainToAscii(std::string_view domain) {
  // MultiByteToWideChar would put U+FFFD in place of malformed UTF-8 and convert that.
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, domain.data(), static_cast<int>(domain.size()), nullptr, 0) <=
      0)
    return std::nullopt;
  const std::wstring wide = win32::Utf8ToWide(domain);
  if (wide.empty() || wide.find(L'\0') != std::wstring::npos) return std::nullopt;
  // Since Windows 8 the conversion follows IDNA 2008 with the UTS #46 mapping; flags 0
  // refuse unassigned code points, as IDNA 2008 does.
  const int length = IdnToAscii(0, wide.data(), static_cast<int>(wide.size()), nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring ascii(static_cast<std::size_t>(length), L'\0');
  const int n = IdnToAscii(0, wide.data(), static_cast<int>(wide.size()), ascii.data(), length);
  if (n <= 0) return std::nullopt;
  ascii.resize(static_cast<std::size_t>(n));
  return win32::WideToUtf8(ascii);
}

}  // namespace eqd::platform
