#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "platform/files.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace eqd::platform {
namespace {

using win32::Utf8ToWide;
using win32::WideToUtf8;

// Our own error number for a path that is not a regular file (system numbers are positive).
constexpr OsErrorCode kNotARegularFile = -2;

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  HANDLE Get() const { return h_; }
  OsErrorCode Close() {
    const HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    return CloseHandle(h) ? 0 : static_cast<OsErrorCode>(GetLastError());
  }

 private:
  HANDLE h_;
};

bool IsDelimiter(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

std::string OsErrorText(OsErrorCode code) {
  if (code == kNotARegularFile) return "Not a regular file";
  wchar_t* buf = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  std::wstring text(buf != nullptr ? buf : L"", n);
  if (buf != nullptr) LocalFree(buf);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  if (text.empty()) return "System error " + std::to_string(code);
  return WideToUtf8(text);
}

std::string IncludeTrailingPathDelimiter(std::string path) {
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  return path;
}

bool DirectoryExists(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attr = GetFileAttributesW(Utf8ToWide(path).c_str());
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attr = GetFileAttributesW(Utf8ToWide(path).c_str());
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

OsErrorCode ForceDirectories(const std::string& path) {
  std::wstring w = Utf8ToWide(path);
  while (w.size() > 3 && IsDelimiter(w.back())) w.pop_back();
  if (w.empty()) return ERROR_PATH_NOT_FOUND;
  const DWORD attr = GetFileAttributesW(w.c_str());
  if (attr != INVALID_FILE_ATTRIBUTES) return (attr & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0 : ERROR_ALREADY_EXISTS;
  const std::size_t cut = w.find_last_of(L"\\/");
  if (cut != std::wstring::npos && cut > 0 && w[cut - 1] != L':') {
    const OsErrorCode parent = ForceDirectories(WideToUtf8(w.substr(0, cut)));
    if (parent != 0) return parent;
  }
  if (CreateDirectoryW(w.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS) return 0;
  return static_cast<OsErrorCode>(GetLastError());
}

OsErrorCode AppendToFile(const std::string& path, std::string_view bytes) {
  // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself instead of its target; it is then
  // refused below. The share modes let other writers append between our lines.
  Handle file(CreateFileW(Utf8ToWide(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (file.Get() == INVALID_HANDLE_VALUE) return static_cast<OsErrorCode>(GetLastError());
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.Get(), &info)) return static_cast<OsErrorCode>(GetLastError());
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
      GetFileType(file.Get()) != FILE_TYPE_DISK)
    return kNotARegularFile;
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes.data(), chunk, &written, nullptr)) return static_cast<OsErrorCode>(GetLastError());
    bytes.remove_prefix(written);
  }
  return file.Close();
}

}  // namespace eqd::platform
