#include "platform/tcp_socket.h"

#include <chrono>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include "platform/cancel_scope.h"

namespace eqd::platform {
namespace {

using TClock = std::chrono::steady_clock;

std::string SystemText(int code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string result;
  if (n != 0 && text) {
    const int len = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    result.resize(static_cast<std::size_t>(len));
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(n), result.data(), len, nullptr, nullptr);
    while (!result.empty() && (result.back() == '\r' || result.back() == '\n' || result.back() == ' '))
      result.pop_back();
  }
  if (text) LocalFree(text);
  if (result.empty()) result = "Windows Sockets error " + std::to_string(code);
  return result;
}

// Keeps Windows Sockets started for as long as one of our sockets lives; the library
// counts the calls itself.
class TWinsockUse {
 public:
  TWinsockUse() {
    WSADATA data{};
    const int rc = WSAStartup(MAKEWORD(2, 2), &data);
    if (rc != 0) throw ESocketError(TSocketErrorKind::skIO, SystemText(rc));
  }
  ~TWinsockUse() { WSACleanup(); }
  TWinsockUse(const TWinsockUse&) = delete;
  TWinsockUse& operator=(const TWinsockUse&) = delete;
};

struct TAddrInfoList {
  ADDRINFOW* list = nullptr;
  ~TAddrInfoList() {
    if (list) FreeAddrInfoW(list);
  }
};

class TSocketHandle {
 public:
  TSocketHandle() = default;
  explicit TSocketHandle(SOCKET s) : s_(s) {}
  ~TSocketHandle() { Reset(); }
  TSocketHandle(TSocketHandle&& other) noexcept : s_(other.Release()) {}
  TSocketHandle& operator=(TSocketHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      s_ = other.Release();
    }
    return *this;
  }
  SOCKET Get() const { return s_; }
  SOCKET Release() {
    const SOCKET s = s_;
    s_ = INVALID_SOCKET;
    return s;
  }
  void Reset() {
    if (s_ != INVALID_SOCKET) closesocket(s_);
    s_ = INVALID_SOCKET;
  }

 private:
  SOCKET s_ = INVALID_SOCKET;
};

std::wstring Widen(const std::string& s) {
  if (s.empty()) return {};
  const int len = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(len), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), len);
  return w;
}

int RemainingMs(TClock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

// Waits until the socket can be read (or written, or has failed to connect); false on
// time-out. Looks at the thread's cancel signal (cancel_scope.h) at least every
// kCancelSliceMs.
bool WaitFor(SOCKET s, bool forWrite, int timeoutMs) {
  const auto deadline = TClock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (TCancelScope::CancelRequested()) throw ESocketError(TSocketErrorKind::skCancelled, "");
    const int left = RemainingMs(deadline);
    const int slice = left < kCancelSliceMs ? left : kCancelSliceMs;
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    timeval tv{};
    tv.tv_sec = slice / 1000;
    tv.tv_usec = (slice % 1000) * 1000;
    const int n = select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &tv);
    if (n == SOCKET_ERROR) throw ESocketError(TSocketErrorKind::skIO, SystemText(WSAGetLastError()));
    if (n > 0) return true;
    if (left <= kCancelSliceMs) return false;
  }
}

bool IsClosedError(int code) {
  return code == WSAECONNRESET || code == WSAECONNABORTED || code == WSAESHUTDOWN ||
         code == WSAENOTCONN;
}

}  // namespace

struct TTcpSocket::TImpl {
  TWinsockUse winsock;
  TSocketHandle socket;
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

  ADDRINFOW hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  TAddrInfoList addresses;
  const std::wstring service = std::to_wstring(port);
  const int rc = GetAddrInfoW(Widen(host).c_str(), service.c_str(), &hints, &addresses.list);
  if (rc != 0) throw ESocketError(TSocketErrorKind::skResolve, SystemText(rc));

  std::string lastError;
  TSocketErrorKind lastKind = TSocketErrorKind::skConnect;
  for (ADDRINFOW* a = addresses.list; a; a = a->ai_next) {
    if (RemainingMs(deadline) == 0) {
      lastKind = TSocketErrorKind::skTimeout;
      break;
    }
    TSocketHandle s(WSASocketW(a->ai_family, a->ai_socktype, a->ai_protocol, nullptr, 0,
                               WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT));
    if (s.Get() == INVALID_SOCKET) {
      lastError = SystemText(WSAGetLastError());
      continue;
    }
    u_long nonBlocking = 1;
    if (ioctlsocket(s.Get(), FIONBIO, &nonBlocking) != 0) {
      lastError = SystemText(WSAGetLastError());
      continue;
    }
    if (connect(s.Get(), a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
      const int code = WSAGetLastError();
      if (code != WSAEWOULDBLOCK && code != WSAEINPROGRESS) {
        lastError = SystemText(code);
        lastKind = TSocketErrorKind::skConnect;
        continue;
      }
      if (!WaitFor(s.Get(), true, RemainingMs(deadline))) {
        lastError.clear();
        lastKind = TSocketErrorKind::skTimeout;
        continue;
      }
      int soError = 0;
      int len = sizeof soError;
      if (getsockopt(s.Get(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &len) != 0)
        soError = WSAGetLastError();
      if (soError != 0) {
        lastError = SystemText(soError);
        lastKind = TSocketErrorKind::skConnect;
        continue;
      }
    }
    impl_->socket = std::move(s);
    return;
  }
  throw ESocketError(lastKind, lastError);
}

void TTcpSocket::SetTimeout(int timeoutMs) { impl_->timeoutMs = timeoutMs; }

std::size_t TTcpSocket::Read(char* buffer, std::size_t size) {
  const SOCKET s = impl_->socket.Get();
  if (s == INVALID_SOCKET) throw ESocketError(TSocketErrorKind::skClosed, "");
  const int chunk = size > 0x40000000 ? 0x40000000 : static_cast<int>(size);
  for (;;) {
    if (!WaitFor(s, false, impl_->timeoutMs)) throw ESocketError(TSocketErrorKind::skTimeout, "");
    const int n = recv(s, buffer, chunk, 0);
    if (n >= 0) return static_cast<std::size_t>(n);
    const int code = WSAGetLastError();
    if (code == WSAEWOULDBLOCK || code == WSAEINTR) continue;
    throw ESocketError(IsClosedError(code) ? TSocketErrorKind::skClosed : TSocketErrorKind::skIO,
                       SystemText(code));
  }
}

void TTcpSocket::Write(std::string_view data) {
  const SOCKET s = impl_->socket.Get();
  if (s == INVALID_SOCKET) throw ESocketError(TSocketErrorKind::skClosed, "");
  while (!data.empty()) {
    const int chunk = data.size() > 0x40000000 ? 0x40000000 : static_cast<int>(data.size());
    const int n = send(s, data.data(), chunk, 0);
    if (n >= 0) {
      data.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    const int code = WSAGetLastError();
    if (code == WSAEINTR) continue;
    if (code == WSAEWOULDBLOCK) {
      if (!WaitFor(s, true, impl_->timeoutMs)) throw ESocketError(TSocketErrorKind::skTimeout, "");
      continue;
    }
    throw ESocketError(IsClosedError(code) ? TSocketErrorKind::skClosed : TSocketErrorKind::skIO,
                       SystemText(code));
  }
}

bool TTcpSocket::HasInput() {
  const SOCKET s = impl_->socket.Get();
  if (s == INVALID_SOCKET) throw ESocketError(TSocketErrorKind::skClosed, "");
  return WaitFor(s, false, 0);
}

void TTcpSocket::Close() { impl_->socket.Reset(); }

bool TTcpSocket::IsOpen() const { return impl_ && impl_->socket.Get() != INVALID_SOCKET; }

std::string LocalHostName() {
  // The host name needs Windows Sockets started; the computer name does not.
  try {
    TWinsockUse winsock;
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) == 0 && name[0] != '\0') return name;
  } catch (const ESocketError&) {
  }
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (GetComputerNameW(computer, &size) && size > 0) {
    const int len = WideCharToMultiByte(CP_UTF8, 0, computer, static_cast<int>(size), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(len), '\0');
    WideCharToMultiByte(CP_UTF8, 0, computer, static_cast<int>(size), result.data(), len, nullptr, nullptr);
    return result;
  }
  return "localhost";
}

}  // namespace eqd::platform
