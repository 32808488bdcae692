#include "platform/temp_files.h"

#include <windows.h>

#include "platform/guid.h"
#include "platform/win32/handles.h"
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

OsErrorCode CreatePrivateFolder(const std::string& parent, const std::string& prefix, std::string& path) {
  // CreateDirectoryW fails on anything already there, so a name is never shared; a few
  // attempts with fresh random names get past a clash.
  OsErrorCode error = ERROR_ALREADY_EXISTS;
  for (int attempt = 0; attempt < 16 && error == ERROR_ALREADY_EXISTS; ++attempt) {
    const std::string guid = NewGuidText();  // "{XXXXXXXX-XXXX-...}"
    const std::string name = parent + prefix + guid.substr(1, 8) + guid.substr(10, 4);
    error = CreateNewFolder(name);
    if (error == 0) path = name;
  }
  return error;
}

OsErrorCode CreateNewFolder(const std::string& path) {
  if (CreateDirectoryW(Utf8ToWide(path).c_str(), nullptr)) return 0;
  return static_cast<OsErrorCode>(GetLastError());
}

OsErrorCode RemoveEmptyFolder(const std::string& path) {
  if (RemoveDirectoryW(Utf8ToWide(path).c_str())) return 0;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : static_cast<OsErrorCode>(error);
}

OsErrorCode WriteNewFile(const std::string& path, std::string_view bytes, TFileIdentity& written) {
  const std::wstring w = Utf8ToWide(path);
  // Readers may look in while it is open; no other writer may.
  win32::TFileHandle file(CreateFileW(w.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return static_cast<OsErrorCode>(GetLastError());
  OsErrorCode error = 0;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.Get(), &info)) error = static_cast<OsErrorCode>(GetLastError());
  written = {info.dwVolumeSerialNumber, (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  while (!bytes.empty() && error == 0) {
    const DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
    DWORD done = 0;
    if (!WriteFile(file.Get(), bytes.data(), chunk, &done, nullptr)) error = static_cast<OsErrorCode>(GetLastError());
    bytes.remove_prefix(done);
  }
  // Closed here, since a close that fails loses what was written.
  if (!CloseHandle(file.Detach()) && error == 0) error = static_cast<OsErrorCode>(GetLastError());
  if (error != 0) DeleteFileW(w.c_str());
  return error;
}

OsErrorCode DeleteFileIfExists(const std::string& path) {
  if (DeleteFileW(Utf8ToWide(path).c_str())) return 0;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : static_cast<OsErrorCode>(error);
}

}  // namespace eqd::platform
