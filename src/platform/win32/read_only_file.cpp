#include "platform/read_only_file.h"

#include <string>

#include <windows.h>

#include "platform/os_error.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace eqd::platform {

struct TReadOnlyFile::TImpl {
  win32::TFileHandle File;
  BY_HANDLE_FILE_INFORMATION Info{};
};

TReadOnlyFile::TReadOnlyFile(const std::string& path, TLinks links) : impl_(std::make_unique<TImpl>()) {
  if (path.find('\0') != std::string::npos) throw std::runtime_error(OsErrorText(ERROR_INVALID_NAME));
  const std::wstring w = win32::Utf8ToWide(path);
  // A folder does not open for reading at all; say what it is rather than "access denied".
  const DWORD attributes = GetFileAttributesW(w.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) throw ENotRegularFile();
  // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself instead of its target; it is refused below.
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN |
                      (links == TLinks::Refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  impl_->File.Reset(CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr));
  if (!impl_->File) throw std::runtime_error(OsErrorText(static_cast<OsErrorCode>(GetLastError())));
  // Pipes, consoles and serial ports are no disk files; their reads may wait for ever.
  if (GetFileType(impl_->File.Get()) != FILE_TYPE_DISK) throw ENotRegularFile();
  if (!GetFileInformationByHandle(impl_->File.Get(), &impl_->Info))
    throw std::runtime_error(OsErrorText(static_cast<OsErrorCode>(GetLastError())));
  // Opened through a link, the handle is the target's (whose attributes may still name a
  // reparse point, as cloud and deduplicated files do); opened as the link itself, it is refused.
  const DWORD refused = FILE_ATTRIBUTE_DIRECTORY | (links == TLinks::Refuse ? FILE_ATTRIBUTE_REPARSE_POINT : 0);
  if ((impl_->Info.dwFileAttributes & refused) != 0) throw ENotRegularFile();
}

TReadOnlyFile::~TReadOnlyFile() = default;

std::size_t TReadOnlyFile::Read(char* buffer, std::size_t size) {
  DWORD got = 0;
  const DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  if (!ReadFile(impl_->File.Get(), buffer, want, &got, nullptr))
    throw std::runtime_error(OsErrorText(static_cast<OsErrorCode>(GetLastError())));
  return got;
}

TFileIdentity TReadOnlyFile::Identity() const {
  const BY_HANDLE_FILE_INFORMATION& i = impl_->Info;
  return {i.dwVolumeSerialNumber, (static_cast<std::uint64_t>(i.nFileIndexHigh) << 32) | i.nFileIndexLow};
}

std::uint64_t TReadOnlyFile::Size() const {
  return (static_cast<std::uint64_t>(impl_->Info.nFileSizeHigh) << 32) | impl_->Info.nFileSizeLow;
}

}  // namespace eqd::platform
