#include "platform/tcp_socket.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include "platform/cancel_scope.h"

namespace eqd::platform {
namespace {

using TClock = std::chrono::steady_clock;

std::string ErrnoText(int code) { return std::strerror(code); }

// Owns one addrinfo list.
struct TAddrInfoList {
  addrinfo* list = nullptr;
  ~TAddrInfoList() {
    if (list) freeaddrinfo(list);
  }
};

// Owns one file descriptor.
class TFd {
 public:
  TFd() = default;
  explicit TFd(int fd) : fd_(fd) {}
  ~TFd() { Reset(); }
  TFd(TFd&& other) noexcept : fd_(other.Release()) {}
  TFd& operator=(TFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = other.Release();
    }
    return *this;
  }
  int Get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

int RemainingMs(TClock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

// Waits until the descriptor is ready for `events`; false on time-out. Restarts after
// signals with what is left of the limit, and looks at the thread's cancel signal
// (cancel_scope.h) at least every kCancelSliceMs.
bool WaitFor(int fd, short events, int timeoutMs) {
  const auto deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (TCancelScope::CancelRequested()) throw ESocketError(TSocketErrorKind::skCancelled, "");
    const int left = RemainingMs(deadline);
    pollfd p{fd, events, 0};
    const int n = ::poll(&p, 1, std::min(left, kCancelSliceMs));
    if (n > 0) return true;
    if (n == 0 && left <= kCancelSliceMs) return false;
    if (n < 0 && errno != EINTR) throw ESocketError(TSocketErrorKind::skIO, ErrnoText(errno));
  }
}

}  // namespace

struct TTcpSocket::TImpl {
  TFd fd;
  int timeoutMs = 30000;
};

TTcpSocket::TTcpSocket() : impl_(std::make_unique<TImpl>()) {}
TTcpSocket::~TTcpSocket() = default;
TTcpSocket::TTcpSocket(TTcpSocket&&) noexcept = default;
TTcpSocket& TTcpSocket::operator=(TTcpSocket&&) noexcept = default;

void TTcpSocket::Connect(const std::string& host, std::uint16_t port, int timeoutMs) {
  Close();
  impl_->timeoutMs = timeoutMs;
  const auto deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_ADDRCONFIG;
  TAddrInfoList addresses;
  const std::string service = std::to_string(port);
  const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &addresses.list);
  if (rc != 0) {
    throw ESocketError(TSocketErrorKind::skResolve,
                       rc == EAI_SYSTEM ? ErrnoText(errno) : gai_strerror(rc));
  }

  std::string lastError;
  TSocketErrorKind lastKind = TSocketErrorKind::skConnect;
  for (addrinfo* a = addresses.list; a; a = a->ai_next) {
    if (RemainingMs(deadline) == 0) {
      lastKind = TSocketErrorKind::skTimeout;
      break;
    }
    TFd fd(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol));
    if (fd.Get() < 0) {
      lastError = ErrnoText(errno);
      continue;
    }
    if (::connect(fd.Get(), a->ai_addr, a->ai_addrlen) != 0) {
      if (errno != EINPROGRESS && errno != EINTR) {
        lastError = ErrnoText(errno);
        lastKind = TSocketErrorKind::skConnect;
        continue;
      }
      if (!WaitFor(fd.Get(), POLLOUT, RemainingMs(deadline))) {
        lastError.clear();
        lastKind = TSocketErrorKind::skTimeout;
        continue;
      }
      int soError = 0;
      socklen_t len = sizeof soError;
      if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &soError, &len) != 0) soError = errno;
      if (soError != 0) {
        lastError = ErrnoText(soError);
        lastKind = TSocketErrorKind::skConnect;
        continue;
      }
    }
    impl_->fd = std::move(fd);
    return;
  }
  throw ESocketError(lastKind, lastError);
}

void TTcpSocket::SetTimeout(int timeoutMs) { impl_->timeoutMs = timeoutMs; }

std::size_t TTcpSocket::Read(char* buffer, std::size_t size) {
  const int fd = impl_->fd.Get();
  if (fd < 0) throw ESocketError(TSocketErrorKind::skClosed, "");
  for (;;) {
    if (!WaitFor(fd, POLLIN, impl_->timeoutMs)) throw ESocketError(TSocketErrorKind::skTimeout, "");
    const ssize_t n = ::recv(fd, buffer, size, 0);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
    if (errno == ECONNRESET) throw ESocketError(TSocketErrorKind::skClosed, ErrnoText(errno));
    throw ESocketError(TSocketErrorKind::skIO, ErrnoText(errno));
  }
}

void TTcpSocket::Write(std::string_view data) {
  const int fd = impl_->fd.Get();
  if (fd < 0) throw ESocketError(TSocketErrorKind::skClosed, "");
  while (!data.empty()) {
    const ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (n >= 0) {
      data.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!WaitFor(fd, POLLOUT, impl_->timeoutMs)) throw ESocketError(TSocketErrorKind::skTimeout, "");
      continue;
    }
    if (errno == EPIPE || errno == ECONNRESET) throw ESocketError(TSocketErrorKind::skClosed, ErrnoText(errno));
    throw ESocketError(TSocketErrorKind::skIO, ErrnoText(errno));
  }
}

bool TTcpSocket::HasInput() {
  const int fd = impl_->fd.Get();
  if (fd < 0) throw ESocketError(TSocketErrorKind::skClosed, "");
  return WaitFor(fd, POLLIN, 0);
}

void TTcpSocket::Close() { impl_->fd.Reset(); }

bool TTcpSocket::IsOpen() const { return impl_ && impl_->fd.Get() >= 0; }

std::string LocalHostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) == 0 && name[0] != '\0') return name;
  return "localhost";
}

}  // namespace eqd::platform
