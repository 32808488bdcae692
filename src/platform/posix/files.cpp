#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace eqd::platform {
namespace {

// Our own error number for a path that is not a regular file (errno values are positive).
constexpr OsErrorCode kNotARegularFile = -2;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int Get() const { return fd_; }
  // Closes now and reports the error close() gives (a delayed write error shows here).
  OsErrorCode Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
  }

 private:
  int fd_;
};

}  // namespace

std::string OsErrorText(OsErrorCode code) {
  if (code == kNotARegularFile) return "Not a regular file";
  return std::generic_category().message(code);
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
  // O_NONBLOCK keeps a planted pipe without a reader from blocking the open.
  FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666));
  if (fd.Get() < 0) return errno;
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return kNotARegularFile;
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd.Get(), bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return fd.Close();
}

}  // namespace eqd::platform
