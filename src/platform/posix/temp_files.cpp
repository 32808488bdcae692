#include "platform/temp_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace eqd::platform {

std::string TempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

OsErrorCode CreateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) == 0) return 0;
  const int error = errno;
  struct stat st {};
  return error == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 0 : error;
}

OsErrorCode WriteNewFile(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  OsErrorCode error = 0;
  while (!bytes.empty() && error == 0) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno != EINTR) error = errno;
    if (n > 0) bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
  if (error != 0) ::unlink(path.c_str());
  return error;
}

OsErrorCode DeleteFileIfExists(const std::string& path) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT ? 0 : errno;
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace eqd::platform
