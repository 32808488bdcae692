#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "platform/files.h"

#include <windows.h>

#include "platform/win32/folder_access.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace eqd::platform {
namespace {

using win32::TFileHandle;
using win32::Utf8ToWide;
using win32::WideToUtf8;

OsErrorCode LastError() { return static_cast<OsErrorCode>(GetLastError()); }

bool IsDelimiter(wchar_t c) { return c == L'\\' || c == L'/'; }

// A name that stays inside its folder: no delimiter, no drive or stream colon, not "."
// or "..".
bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("\\/:\0", 4)) == std::string::npos;
}

// The attributes of what `h` (opened with FILE_FLAG_OPEN_REPARSE_POINT) and `path`
// reach; a link is a reparse point by either. While the handle is open they name the
// same thing, but some file systems show a link only by its path: a link that the
// system cannot open as itself is opened as its target.
bool Attributes(HANDLE h, const std::wstring& path, DWORD& attributes) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) return false;
  attributes = info.dwFileAttributes;
  const DWORD byPath = GetFileAttributesW(path.c_str());
  if (byPath != INVALID_FILE_ATTRIBUTES) attributes |= byPath & FILE_ATTRIBUTE_REPARSE_POINT;
  return true;
}

}  // namespace

OsErrorCode FolderCheck(HANDLE h, const std::wstring& path) {
  DWORD attributes = 0;
  if (!Attributes(h, path, attributes)) return LastError();
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return kLinkNotFollowed;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0 : ERROR_DIRECTORY;
}

std::string OsErrorText(OsErrorCode code) {
  switch (code) {
    case kNotARegularFile:
      return "Not a regular file";
    case kLinkNotFollowed:
      return "A symbolic link, junction or mount point, not followed";
    case kNotOwnFile:
      return "The file belongs to another user or has a second name";
    default:
      break;
  }
  const std::string text = SystemErrorText(code);
  return text.empty() ? "System error " + std::to_string(code) : text;
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
  return LastError();
}

OsErrorCode AppendToFile(const std::string& path, std::string_view bytes) {
  // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself instead of its target; it is then
  // refused below. The share modes let other writers append between our lines.
  const std::wstring wide = Utf8ToWide(path);
  TFileHandle file(CreateFileW(wide.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file) return LastError();
  DWORD attributes = 0;
  if (!Attributes(file.Get(), wide, attributes)) return LastError();
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return kLinkNotFollowed;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || GetFileType(file.Get()) != FILE_TYPE_DISK)
    return kNotARegularFile;
  while (!bytes.empty()) {
    const DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes.data(), chunk, &written, nullptr)) return LastError();
    bytes.remove_prefix(written);
  }
  return CloseHandle(file.Detach()) ? 0 : LastError();
}

struct TLogFolder::TImpl {
  // One handle on every folder below the base, shared for reading and writing but not
  // for deleting: while they are open, none of those folders can be renamed, deleted or
  // replaced by a junction, so the path reaches the folders that were checked.
  std::vector<TFileHandle> Held;
  std::string Path;
};

TLogFolder::TLogFolder() = default;
TLogFolder::~TLogFolder() = default;
TLogFolder::TLogFolder(TLogFolder&&) noexcept = default;
TLogFolder& TLogFolder::operator=(TLogFolder&&) noexcept = default;

OsErrorCode TLogFolder::Open(const std::string& base, const std::vector<std::string>& below, TFolderCreation creation) {
  FImpl.reset();
  auto impl = std::make_unique<TImpl>();
  std::wstring path = Utf8ToWide(base);
  while (path.size() > 3 && IsDelimiter(path.back())) path.pop_back();
  {
    const TFileHandle folder(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return LastError();
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(folder.Get(), &info)) return LastError();
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return ERROR_DIRECTORY;
  }
  for (std::size_t i = 0; i < below.size(); ++i) {
    if (!IsPlainName(below[i])) return ERROR_INVALID_NAME;
    if (!IsDelimiter(path.back())) path += L'\\';
    path += Utf8ToWide(below[i]);
    const bool shared = creation == fcCreateShared && i + 1 == below.size();
    const bool made = creation != fcOpenOnly && CreateDirectoryW(path.c_str(), nullptr);
    if (!made && creation != fcOpenOnly && GetLastError() != ERROR_ALREADY_EXISTS) return LastError();
    const DWORD access = FILE_READ_ATTRIBUTES | (made && shared ? READ_CONTROL | WRITE_DAC : 0);
    TFileHandle folder(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                          nullptr));
    if (!folder) return LastError();
    if (const OsErrorCode error = FolderCheck(folder.Get(), path)) return error;
    if (made && shared) {
      if (const OsErrorCode error = GrantEveryoneFullAccessTo(folder.Get())) return error;
    }
    impl->Held.push_back(std::move(folder));
  }
  impl->Path = IncludeTrailingPathDelimiter(WideToUtf8(path));
  FImpl = std::move(impl);
  return 0;
}

const std::string& TLogFolder::Path() const {
  static const std::string kNone;
  return FImpl ? FImpl->Path : kNone;
}

OsErrorCode TLogFolder::Append(const std::string& name, std::string_view bytes) const {
  if (!FImpl) return ERROR_INVALID_HANDLE;
  if (!IsPlainName(name)) return ERROR_INVALID_NAME;
  return AppendToFile(FImpl->Path + name, bytes);
}

}  // namespace eqd::platform
