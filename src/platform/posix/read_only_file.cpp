#include "platform/read_only_file.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/os_error.h"
#include "platform/posix/file_identity.h"
#include "platform/posix/handles.h"

namespace eqd::platform {

TFileIdentity IdentityOf(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
          std::int64_t{st.st_ctim.tv_sec} * 1000000000 + st.st_ctim.tv_nsec};
}

struct TReadOnlyFile::TImpl {
  TFd Fd;
  struct stat Stat {};
};

TReadOnlyFile::TReadOnlyFile(const std::string& path, TLinks links) : impl_(std::make_unique<TImpl>()) {
  if (path.find('\0') != std::string::npos) throw std::runtime_error(OsErrorText(EINVAL));
  // O_NONBLOCK: a pipe without a writer would otherwise hold the open (and a read) for ever.
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (links == TLinks::Refuse ? O_NOFOLLOW : 0);
  impl_->Fd.Reset(::open(path.c_str(), flags));
  if (!impl_->Fd) {
    // With O_NOFOLLOW, ELOOP says the last part is a symbolic link.
    if (errno == ELOOP && links == TLinks::Refuse) throw ENotRegularFile();
    throw std::runtime_error(OsErrorText(errno));
  }
  const int fd = impl_->Fd.Get();
  if (::fstat(fd, &impl_->Stat) != 0) throw std::runtime_error(OsErrorText(errno));
  if (!S_ISREG(impl_->Stat.st_mode)) throw ENotRegularFile();
  // A regular file never blocks; reads go on in the ordinary way.
  (void)::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
}

TReadOnlyFile::~TReadOnlyFile() = default;

std::size_t TReadOnlyFile::Read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(impl_->Fd.Get(), buffer, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) throw std::runtime_error(OsErrorText(errno));
  }
}

TFileIdentity TReadOnlyFile::Identity() const {
  return IdentityOf(impl_->Stat);
}

std::uint64_t TReadOnlyFile::Size() const { return static_cast<std::uint64_t>(impl_->Stat.st_size); }

}  // namespace eqd::platform
