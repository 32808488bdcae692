#include "platform/temp_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/posix/file_identity.h"
#include "platform/posix/handles.h"

namespace eqd::platform {

std::string TempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

OsErrorCode CreatePrivateFolder(const std::string& parent, const std::string& prefix, std::string& path) {
  std::string name = parent + prefix + "XXXXXX";
  // mkdtemp creates the folder exclusively, with mode 0700, under a name nobody chose before.
  if (::mkdtemp(name.data()) == nullptr) return errno;
  path = std::move(name);
  return 0;
}

OsErrorCode CreateNewFolder(const std::string& path) { return ::mkdir(path.c_str(), 0700) == 0 ? 0 : errno; }

OsErrorCode RemoveEmptyFolder(const std::string& path) {
  return ::rmdir(path.c_str()) == 0 || errno == ENOENT ? 0 : errno;
}

OsErrorCode WriteNewFile(const std::string& path, std::string_view bytes, TFileIdentity& written) {
  TFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fd) return errno;
  OsErrorCode error = 0;
  while (!bytes.empty() && error == 0) {
    const ssize_t n = ::write(fd.Get(), bytes.data(), bytes.size());
    if (n < 0 && errno != EINTR) error = errno;
    if (n > 0) bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  // After the last write, which sets the change time.
  struct stat st {};
  if (error == 0 && ::fstat(fd.Get(), &st) != 0) error = errno;
  written = IdentityOf(st);
  // Closed here, since a close that fails may lose what was written.
  if (::close(fd.Detach()) != 0 && error == 0 && errno != EINTR) error = errno;
  if (error != 0) ::unlink(path.c_str());
  return error;
}

OsErrorCode DeleteFileIfExists(const std::string& path) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT ? 0 : errno;
}

}  // namespace eqd::platform
