#include "platform/tcp_socket.h"

#include <algorithm>
#include <vector>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "platform/cancel_scope.h"
#include "platform/unique_handle.h"
#include "platform/win32/wide.h"

namespace eqd::platform {
namespace {

void CloseSocket(SOCKET s) { ::closesocket(s); }
void FreeAddresses(ADDRINFOW* list) { ::FreeAddrInfoW(list); }
using TSocketHandle = TUniqueHandle<SOCKET, &CloseSocket, INVALID_SOCKET>;
using TAddrInfoList = TUniqueHandle<ADDRINFOW*, &FreeAddresses>;

// Keeps Windows Sockets started for as long as its owner lives; the library counts the
// calls itself.
class TWinsockUse {
 public:
  TWinsockUse() {
    WSADATA data{};
    error_ = WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~TWinsockUse() {
    if (error_ == 0) WSACleanup();
  }
  TWinsockUse(const TWinsockUse&) = delete;
  TWinsockUse& operator=(const TWinsockUse&) = delete;
  int Error() const { return error_; }

 private:
  int error_ = 0;
};

// What is left until `deadline` as select() takes it, rounded up to whole milliseconds
// so that a wait never ends before its deadline.
timeval SelectTimeout(TDeadline deadline) {
  const auto left = deadline - TClock::now();
  long long ms = left <= TClock::duration::zero() ? 0 : std::chrono::ceil<std::chrono::milliseconds>(left).count();
  ms = std::min<long long>(ms, 24LL * 3600 * 1000);
  timeval tv{};
  tv.tv_sec = static_cast<long>(ms / 1000);
  tv.tv_usec = static_cast<long>((ms % 1000) * 1000);
  return tv;
}

int ChunkSize(std::size_t size) { return size > 0x40000000 ? 0x40000000 : static_cast<int>(size); }

}  // namespace

struct TTcpAddresses::TImpl {
  TWinsockUse Winsock;
  TAddrInfoList List;
  std::vector<const ADDRINFOW*> Entries;
};

TTcpAddresses::TTcpAddresses() : impl_(std::make_unique<TImpl>()) {}
TTcpAddresses::~TTcpAddresses() = default;
TTcpAddresses::TTcpAddresses(TTcpAddresses&&) noexcept = default;
TTcpAddresses& TTcpAddresses::operator=(TTcpAddresses&&) noexcept = default;
std::size_t TTcpAddresses::Count() const { return impl_->Entries.size(); }

bool ResolveTcp(const std::string& host, std::uint16_t port, TTcpAddresses& out, std::string& error) {
  if (out.impl_->Winsock.Error() != 0) {
    error = SystemErrorText(out.impl_->Winsock.Error());
    return false;
  }
  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  TAddrInfoList list;
  const int rc = GetAddrInfoW(win32::Utf8ToWide(host).c_str(), std::to_wstring(port).c_str(), &hints, list.Put());
  if (rc != 0) {
    error = SystemErrorText(rc);
    return false;
  }
  out.impl_->Entries.clear();
  for (const ADDRINFOW* a = list.Get(); a; a = a->ai_next) out.impl_->Entries.push_back(a);
  out.impl_->List = std::move(list);
  return true;
}

TSocketErrorClass ClassifySocketError(OsErrorCode code) {
  switch (code) {
    case WSAECONNREFUSED: return TSocketErrorClass::ecRefused;
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
    case WSAENETDOWN:
    case WSAEHOSTDOWN: return TSocketErrorClass::ecUnreachable;
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAESHUTDOWN:
    case WSAENOTCONN:
    case WSAENETRESET: return TSocketErrorClass::ecClosed;
    case WSAETIMEDOUT: return TSocketErrorClass::ecTimedOut;
    default: return TSocketErrorClass::ecOther;
  }
}

struct TTcpSocket::TImpl {
  TWinsockUse Winsock;
  TSocketHandle Socket;
};

TTcpSocket::TTcpSocket() : impl_(std::make_unique<TImpl>()) {}
TTcpSocket::~TTcpSocket() = default;
TTcpSocket::TTcpSocket(TTcpSocket&&) noexcept = default;
TTcpSocket& TTcpSocket::operator=(TTcpSocket&&) noexcept = default;

TSocketResult TTcpSocket::Connect(const TTcpAddresses& addresses, std::size_t index) {
  if (impl_->Winsock.Error() != 0) return {0, impl_->Winsock.Error(), false};
  const ADDRINFOW* a = addresses.impl_->Entries.at(index);
  TSocketHandle s(WSASocketW(a->ai_family, a->ai_socktype, a->ai_protocol, nullptr, 0,
                             WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT));
  if (!s) return {0, WSAGetLastError(), false};
  u_long nonBlocking = 1;
  if (ioctlsocket(s.Get(), FIONBIO, &nonBlocking) != 0) return {0, WSAGetLastError(), false};
  impl_->Socket = std::move(s);
  if (connect(impl_->Socket.Get(), a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0) return {};
  const int code = WSAGetLastError();
  if (code == WSAEWOULDBLOCK || code == WSAEINPROGRESS) return {0, 0, true};
  return {0, code, false};
}

OsErrorCode TTcpSocket::ConnectResult() {
  int error = 0;
  int size = sizeof error;
  if (getsockopt(impl_->Socket.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
    return WSAGetLastError();
  return error;
}

OsErrorCode TTcpSocket::Wait(TSocketWait what, TDeadline deadline, bool& ready) {
  const SOCKET s = impl_->Socket.Get();
  // A failed connection shows in the exceptional set. Once connected, that set holds
  // urgent (out-of-band) data, which a reader never takes: watching it would report
  // the socket ready for ever.
  const bool read = what == TSocketWait::swRead;
  for (;;) {
    // Another thread may end this thread's waits at once (cancel_scope.h): the wait looks
    // at the signal at least every kCancelSliceMs.
    if (TCancelScope::CancelRequested()) return WSAECANCELLED;
    const TDeadline slice = std::min<TDeadline>(deadline, TClock::now() + std::chrono::milliseconds(kCancelSliceMs));
    fd_set wanted;
    fd_set failed;
    FD_ZERO(&wanted);
    FD_ZERO(&failed);
    FD_SET(s, &wanted);
    FD_SET(s, &failed);
    timeval tv = SelectTimeout(slice);
    const int n = select(0, read ? &wanted : nullptr, read ? nullptr : &wanted,
                         what == TSocketWait::swConnect ? &failed : nullptr, &tv);
    if (n == SOCKET_ERROR) return WSAGetLastError();
    ready = n > 0;
    if (ready || slice >= deadline) return 0;
  }
}

TSocketResult TTcpSocket::Receive(char* buffer, std::size_t size) {
  for (;;) {
    const int n = recv(impl_->Socket.Get(), buffer, ChunkSize(size), 0);
    if (n >= 0) return {static_cast<std::size_t>(n), 0, false};
    const int code = WSAGetLastError();
    if (code == WSAEINTR) continue;
    if (code == WSAEWOULDBLOCK) return {0, 0, true};
    return {0, code, false};
  }
}

TSocketResult TTcpSocket::Send(std::string_view data) {
  for (;;) {
    const int n = send(impl_->Socket.Get(), data.data(), ChunkSize(data.size()), 0);
    if (n >= 0) return {static_cast<std::size_t>(n), 0, false};
    const int code = WSAGetLastError();
    if (code == WSAEINTR) continue;
    if (code == WSAEWOULDBLOCK) return {0, 0, true};
    return {0, code, false};
  }
}

bool TTcpSocket::IsOpen() const { return impl_ && static_cast<bool>(impl_->Socket); }

void TTcpSocket::Close() { impl_->Socket.Reset(); }

std::string LocalHostName() {
  // The host name needs Windows Sockets started; the computer name does not.
  {
    TWinsockUse winsock;
    char name[256] = {};
    if (winsock.Error() == 0 && gethostname(name, sizeof name - 1) == 0 && name[0] != '\0') return name;
  }
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (GetComputerNameW(computer, &size) && size > 0) return win32::WideToUtf8(std::wstring_view(computer, size));
  return "localhost";
}

}  // namespace eqd::platform
