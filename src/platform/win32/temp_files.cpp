#include "platform/temp_files.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace eqd::platform {

using win32::Utf8ToWide;
using win32::WideToUtf8;

std::string TempFolder() {
  wchar_t buf[MAX_PATH + 2] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, buf);
  if (n == 0 || n > MAX_PATH + 1) return {};
  std::string folder = WideToUtf8(std::wstring_view(buf, n));
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder;
}

OsErrorCode CreateFolder(const std::string& path) {
  const std::wstring w = Utf8ToWide(path);
  if (CreateDirectoryW(w.c_str(), nullptr)) return 0;
  const DWORD error = GetLastError();
  const DWORD attr = GetFileAttributesW(w.c_str());
  return error == ERROR_ALREADY_EXISTS && attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0
             ? 0
             : static_cast<OsErrorCode>(error);
}

OsErrorCode WriteNewFile(const std::string& path, std::string_view bytes) {
  const std::wstring w = Utf8ToWide(path);
  // Readers may look in while it is open; no other writer may.
  HANDLE file = CreateFileW(w.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return static_cast<OsErrorCode>(GetLastError());
  OsErrorCode error = 0;
  while (!bytes.empty() && error == 0) {
    const DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) error = static_cast<OsErrorCode>(GetLastError());
    bytes.remove_prefix(written);
  }
  if (!CloseHandle(file) && error == 0) error = static_cast<OsErrorCode>(GetLastError());
  if (error != 0) DeleteFileW(w.c_str());
  return error;
}

OsErrorCode DeleteFileIfExists(const std::string& path) {
  if (DeleteFileW(Utf8ToWide(path).c_str())) return 0;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : static_cast<OsErrorCode>(error);
}

bool PathExists(const std::string& path) {
  return GetFileAttributesW(Utf8ToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace eqd::platform
