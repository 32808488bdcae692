#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/posix/folder_access.h"
#include "platform/posix/handles.h"

namespace eqd::platform {
namespace {

// AppendToFile for `name` relative to the folder `dir` (AT_FDCWD: a plain path).
OsErrorCode AppendAt(int dir, const char* name, std::string_view bytes) {
  // O_NONBLOCK keeps a planted pipe without a reader from blocking the open.
  TFd fd(::openat(dir, name, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0600));
  if (!fd) return errno == ELOOP ? kLinkNotFollowed : errno;
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return kNotARegularFile;
  if (st.st_uid != ::geteuid() || st.st_nlink != 1) return kNotOwnFile;
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd.Get(), bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  // Closed here to see its error: a delayed write error shows at close.
  return ::close(fd.Detach()) == 0 || errno == EINTR ? 0 : errno;
}

// Why `name` in `dir` could not be opened as a folder without following it.
OsErrorCode NotAFolder(int dir, const char* name, OsErrorCode openError) {
  struct stat st {};
  if (::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) return kLinkNotFollowed;
  return openError;
}

bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

}  // namespace

std::string OsErrorText(OsErrorCode code) {
  switch (code) {
    case kNotARegularFile:
      return "Not a regular file";
    case kLinkNotFollowed:
      return "A symbolic link or mount point, not followed";
    case kNotOwnFile:
      return "The file belongs to another user or has a second name";
    default:
      return SystemErrorText(code);
  }
}

std::string IncludeTrailingPathDelimiter(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

OsErrorCode ForceDirectories(const std::string& path) {
  if (DirectoryExists(path)) return 0;
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (ec) return ec.value();
  return DirectoryExists(path) ? 0 : ENOTDIR;
}

OsErrorCode AppendToFile(const std::string& path, std::string_view bytes) {
  return AppendAt(AT_FDCWD, path.c_str(), bytes);
}

struct TLogFolder::TImpl {
  TFd Folder;
  std::string Path;
};

TLogFolder::TLogFolder() = default;
TLogFolder::~TLogFolder() = default;
TLogFolder::TLogFolder(TLogFolder&&) noexcept = default;
TLogFolder& TLogFolder::operator=(TLogFolder&&) noexcept = default;

OsErrorCode TLogFolder::Open(const std::string& base, const std::vector<std::string>& below, TFolderCreation creation) {
  FImpl.reset();
  auto impl = std::make_unique<TImpl>();
  impl->Folder = TFd(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!impl->Folder) return errno;
  impl->Path = IncludeTrailingPathDelimiter(base);
  struct stat parent {};
  if (::fstat(impl->Folder.Get(), &parent) != 0) return errno;
  for (std::size_t i = 0; i < below.size(); ++i) {
    const char* name = below[i].c_str();
    if (!IsPlainName(below[i])) return EINVAL;
    const bool shared = creation == fcCreateShared && i + 1 == below.size();
    // A shared folder starts as the owner's only and is opened up once it is known to be ours.
    const bool made = creation != fcOpenOnly && ::mkdirat(impl->Folder.Get(), name, shared ? 0700 : 0777) == 0;
    if (!made && creation != fcOpenOnly && errno != EEXIST) return errno;
    TFd next(::openat(impl->Folder.Get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!next) return NotAFolder(impl->Folder.Get(), name, errno);
    struct stat st {};
    if (::fstat(next.Get(), &st) != 0) return errno;
    if (st.st_dev != parent.st_dev) return kLinkNotFollowed;  // a file system mounted here
    // What was opened may not be what was made, if someone swapped it in between: only
    // a folder of our own is opened to everyone.
    if (made && shared && st.st_uid == ::geteuid()) {
      if (const OsErrorCode error = OpenToEveryone(next.Get(), st)) return error;
    }
    impl->Folder = std::move(next);
    impl->Path += below[i] + '/';
    parent = st;
  }
  FImpl = std::move(impl);
  return 0;
}

const std::string& TLogFolder::Path() const {
  static const std::string kNone;
  return FImpl ? FImpl->Path : kNone;
}

OsErrorCode TLogFolder::Append(const std::string& name, std::string_view bytes) const {
  if (!FImpl) return EBADF;
  if (!IsPlainName(name)) return EINVAL;
  return AppendAt(FImpl->Folder.Get(), name.c_str(), bytes);
}

}  // namespace eqd::platform
