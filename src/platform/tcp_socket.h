// The operating system's side of a TCP client connection: resolving the host, one
// non-blocking socket, and waiting on it. Each call does one thing and reports the
// system's error number; everything around them (trying each address in turn, the time
// left, what a failure means to the caller) is written once above this layer
// (net/tcp_connection.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/deadline.h"
#include "platform/os_error.h"

namespace eqd::platform {

// The addresses one host name resolved to, in the resolver's order.
class TTcpAddresses {
 public:
  TTcpAddresses();
  ~TTcpAddresses();
  TTcpAddresses(TTcpAddresses&&) noexcept;
  TTcpAddresses& operator=(TTcpAddresses&&) noexcept;

  std::size_t Count() const;

 private:
  friend class TTcpSocket;
  friend bool ResolveTcp(const std::string& host, std::uint16_t port, TTcpAddresses& out, std::string& error);
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

// Resolves `host` (a name or an address literal) for a TCP connection to `port`. False
// with the resolver's own wording in `error` when it has no address for the name.
bool ResolveTcp(const std::string& host, std::uint16_t port, TTcpAddresses& out, std::string& error);

// What one non-blocking call did: Error is the system's error number (0: none); with
// WouldBlock nothing happened yet and the caller waits before trying again.
struct TSocketResult {
  std::size_t Bytes = 0;
  OsErrorCode Error = 0;
  bool WouldBlock = false;
};

enum class TSocketWait { swRead, swWrite, swConnect };

// What an error number means to a connection.
enum class TSocketErrorClass { ecRefused, ecUnreachable, ecClosed, ecTimedOut, ecOther };
TSocketErrorClass ClassifySocketError(OsErrorCode code);

// One non-blocking TCP socket that child processes do not inherit; closed by the
// destructor.
class TTcpSocket {
 public:
  TTcpSocket();
  ~TTcpSocket();
  TTcpSocket(TTcpSocket&&) noexcept;
  TTcpSocket& operator=(TTcpSocket&&) noexcept;

  // Makes a socket for address `index` and starts connecting to it. WouldBlock: the
  // connection is on its way; wait for swConnect, then ask ConnectResult().
  TSocketResult Connect(const TTcpAddresses& addresses, std::size_t index);
  // How the connection that was on its way ended (0: established).
  OsErrorCode ConnectResult();
  // Waits until the socket is ready for `what` or `deadline` passes; `ready` says
  // which. Returns the error of the wait itself. Only a connection on its way counts a
  // socket's exceptional state as ready: urgent data must not wake a reader.
  OsErrorCode Wait(TSocketWait what, TDeadline deadline, bool& ready);
  // Bytes = 0 without an error or WouldBlock: the peer closed the connection in order.
  TSocketResult Receive(char* buffer, std::size_t size);
  TSocketResult Send(std::string_view data);
  bool IsOpen() const;
  void Close();

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

// The name this machine gives itself on the network (the computer name when the host
// name is empty); "localhost" when neither can be read.
std::string LocalHostName();

}  // namespace eqd::platform
