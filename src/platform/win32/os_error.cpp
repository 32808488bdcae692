#include "platform/os_error.h"

#include <windows.h>

#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace eqd::platform {

std::string SystemErrorText(OsErrorCode code) {
  win32::TLocalMemory<wchar_t*> buffer;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(buffer.Put()), 0, nullptr);
  std::wstring_view text(buffer ? buffer.Get() : L"", buffer ? n : 0);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.remove_suffix(1);
  return win32::WideToUtf8(text);
}

}  // namespace eqd::platform
