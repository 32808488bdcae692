#include "platform/private_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/posix/handles.h"

namespace eqd::platform {

OsErrorCode ReplaceFilePrivately(const std::string& path, std::string_view bytes) {
  std::string temp = path + ".XXXXXX";
  // mkstemp: a new file under a name nobody chose before, mode 0600.
  TFd fd(::mkstemp(temp.data()));
  if (!fd) return errno;
  OsErrorCode error = ::fchmod(fd.Get(), 0600) == 0 ? 0 : errno;
  while (!bytes.empty() && error == 0) {
    const ssize_t n = ::write(fd.Get(), bytes.data(), bytes.size());
    if (n < 0 && errno != EINTR) error = errno;
    if (n > 0) bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  if (error == 0 && ::fsync(fd.Get()) != 0) error = errno;
  if (::close(fd.Detach()) != 0 && error == 0 && errno != EINTR) error = errno;
  if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(temp.c_str());
  return error;
}

}  // namespace eqd::platform
