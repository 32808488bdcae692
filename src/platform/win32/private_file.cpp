#include "platform/private_file.h"

#include <windows.h>

#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace eqd::platform {

OsErrorCode ReplaceFilePrivately(const std::string& path, std::string_view bytes) {
  const std::wstring target = win32::Utf8ToWide(path);
  const std::wstring temp = target + L"." + win32::Utf8ToWide(std::to_string(GetCurrentProcessId())) + L"." +
                            win32::Utf8ToWide(std::to_string(GetTickCount64())) + L".tmp";
  // A new file only (CREATE_NEW); it takes the folder's inherited permissions, which on a
  // user's own folder are the user's.
  win32::TFileHandle file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
  if (!file) return static_cast<OsErrorCode>(GetLastError());
  OsErrorCode error = 0;
  while (!bytes.empty() && error == 0) {
    const DWORD chunk = bytes.size() > 0x10000000 ? 0x10000000 : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes.data(), chunk, &written, nullptr))
      error = static_cast<OsErrorCode>(GetLastError());
    bytes.remove_prefix(written);
  }
  if (error == 0 && !FlushFileBuffers(file.Get())) error = static_cast<OsErrorCode>(GetLastError());
  file.Reset();
  if (error == 0 && !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    error = static_cast<OsErrorCode>(GetLastError());
  if (error != 0) DeleteFileW(temp.c_str());
  return error;
}

}  // namespace eqd::platform
