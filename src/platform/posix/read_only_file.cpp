#include "platform/read_only_file.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace eqd::platform {

struct TReadOnlyFile::TImpl {
  int Fd = -1;
  ~TImpl() {
    if (Fd >= 0) ::close(Fd);
  }
};

TReadOnlyFile::TReadOnlyFile(const std::string& path) : impl_(std::make_unique<TImpl>()) {
  impl_->Fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (impl_->Fd < 0) throw std::runtime_error(std::strerror(errno));
  // A folder opens for reading here but is no file to send.
  struct stat st {};
  if (::fstat(impl_->Fd, &st) == 0 && S_ISDIR(st.st_mode))
    throw std::runtime_error(std::strerror(EISDIR));
}

TReadOnlyFile::~TReadOnlyFile() = default;

std::size_t TReadOnlyFile::Read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(impl_->Fd, buffer, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) throw std::runtime_error(std::strerror(errno));
  }
}

}  // namespace eqd::platform
