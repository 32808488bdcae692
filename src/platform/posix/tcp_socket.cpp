#include "platform/tcp_socket.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include "platform/posix/handles.h"
#include "platform/unique_handle.h"
#include "platform/cancel_scope.h"

namespace eqd::platform {
namespace {

using TAddrInfoList = TUniqueHandle<addrinfo*, &::freeaddrinfo>;

// What is left until `deadline` as poll() takes it: whole milliseconds, rounded up so
// that a wait never ends before its deadline.
int PollTimeout(TDeadline deadline) {
  const auto left = deadline - TClock::now();
  if (left <= TClock::duration::zero()) return 0;
  const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return static_cast<int>(std::min<long long>(ms, INT_MAX));
}

}  // namespace

struct TTcpAddresses::TImpl {
  TAddrInfoList List;
  std::vector<const addrinfo*> Entries;
};

TTcpAddresses::TTcpAddresses() : impl_(std::make_unique<TImpl>()) {}
TTcpAddresses::~TTcpAddresses() = default;
TTcpAddresses::TTcpAddresses(TTcpAddresses&&) noexcept = default;
TTcpAddresses& TTcpAddresses::operator=(TTcpAddresses&&) noexcept = default;
std::size_t TTcpAddresses::Count() const { return impl_->Entries.size(); }

bool ResolveTcp(const std::string& host, std::uint16_t port, TTcpAddresses& out, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_ADDRCONFIG;
  TAddrInfoList list;
  const int rc = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, list.Put());
  if (rc != 0) {
    error = rc == EAI_SYSTEM ? SystemErrorText(errno) : ::gai_strerror(rc);
    return false;
  }
  out.impl_->Entries.clear();
  for (const addrinfo* a = list.Get(); a; a = a->ai_next) out.impl_->Entries.push_back(a);
  out.impl_->List = std::move(list);
  return true;
}

TSocketErrorClass ClassifySocketError(OsErrorCode code) {
  switch (code) {
    case ECONNREFUSED: return TSocketErrorClass::ecRefused;
    case ENETUNREACH:
    case EHOSTUNREACH:
    case ENETDOWN:
    case EHOSTDOWN: return TSocketErrorClass::ecUnreachable;
    case ECONNRESET:
    case ECONNABORTED:
    case EPIPE:
    case ENOTCONN: return TSocketErrorClass::ecClosed;
    case ETIMEDOUT: return TSocketErrorClass::ecTimedOut;
    default: return TSocketErrorClass::ecOther;
  }
}

struct TTcpSocket::TImpl {
  TFd Fd;
};

TTcpSocket::TTcpSocket() : impl_(std::make_unique<TImpl>()) {}
TTcpSocket::~TTcpSocket() = default;
TTcpSocket::TTcpSocket(TTcpSocket&&) noexcept = default;
TTcpSocket& TTcpSocket::operator=(TTcpSocket&&) noexcept = default;

TSocketResult TTcpSocket::Connect(const TTcpAddresses& addresses, std::size_t index) {
  const addrinfo* a = addresses.impl_->Entries.at(index);
  TFd fd(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol));
  if (!fd) return {0, errno, false};
  impl_->Fd = std::move(fd);
  if (::connect(impl_->Fd.Get(), a->ai_addr, a->ai_addrlen) == 0) return {};
  if (errno == EINPROGRESS || errno == EINTR) return {0, 0, true};
  return {0, errno, false};
}

OsErrorCode TTcpSocket::ConnectResult() {
  int error = 0;
  socklen_t size = sizeof error;
  if (::getsockopt(impl_->Fd.Get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
  return error;
}

OsErrorCode TTcpSocket::Wait(TSocketWait what, TDeadline deadline, bool& ready) {
  // A connection that fails reports POLLERR or POLLHUP whatever is asked for.
  const short events = what == TSocketWait::swRead ? POLLIN : POLLOUT;
  for (;;) {
    // Another thread may end this thread's waits at once (cancel_scope.h): the wait looks
    // at the signal at least every kCancelSliceMs.
    if (TCancelScope::CancelRequested()) return ECANCELED;
    const TDeadline slice = std::min<TDeadline>(deadline, TClock::now() + std::chrono::milliseconds(kCancelSliceMs));
    pollfd p{impl_->Fd.Get(), events, 0};
    const int n = ::poll(&p, 1, PollTimeout(slice));
    if (n >= 0) {
      ready = n > 0;
      if (ready || slice >= deadline) return 0;
      continue;
    }
    if (errno != EINTR) return errno;
  }
}

TSocketResult TTcpSocket::Receive(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = ::recv(impl_->Fd.Get(), buffer, size, 0);
    if (n >= 0) return {static_cast<std::size_t>(n), 0, false};
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {0, 0, true};
    return {0, errno, false};
  }
}

TSocketResult TTcpSocket::Send(std::string_view data) {
  for (;;) {
    const ssize_t n = ::send(impl_->Fd.Get(), data.data(), data.size(), MSG_NOSIGNAL);
    if (n >= 0) return {static_cast<std::size_t>(n), 0, false};
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {0, 0, true};
    return {0, errno, false};
  }
}

bool TTcpSocket::IsOpen() const { return impl_ && static_cast<bool>(impl_->Fd); }

void TTcpSocket::Close() { impl_->Fd.Reset(); }

std::string LocalHostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) == 0 && name[0] != '\0') return name;
  return "localhost";
}

}  // namespace eqd::platform
