// A blocking TCP client connection with a limit on every wait: establishing the
// connection, each write and each read. The socket is closed by the destructor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace eqd::platform {

enum class TSocketErrorKind {
  skResolve,   // the host name does not resolve
  skConnect,   // no address of the host accepted the connection
  skTimeout,   // a wait for the peer ran past the limit
  skClosed,    // the peer closed or reset the connection
  skIO,        // any other failure of the operating system
  skCancelled, // another thread raised the cancel signal of this thread (cancel_scope.h)
};

// what() holds the operating system's own wording (may be empty); the caller adds
// its own sentence around it.
class ESocketError : public std::runtime_error {
 public:
  ESocketError(TSocketErrorKind kind, const std::string& detail)
      : std::runtime_error(detail), kind_(kind) {}
  TSocketErrorKind Kind() const { return kind_; }

 private:
  TSocketErrorKind kind_;
};

class TTcpSocket {
 public:
  TTcpSocket();
  ~TTcpSocket();
  TTcpSocket(TTcpSocket&&) noexcept;
  TTcpSocket& operator=(TTcpSocket&&) noexcept;
  TTcpSocket(const TTcpSocket&) = delete;
  TTcpSocket& operator=(const TTcpSocket&) = delete;

  // Tries every address of the host in turn; `timeoutMs` bounds the whole attempt.
  // Throws ESocketError.
  void Connect(const std::string& host, std::uint16_t port, int timeoutMs);
  // The limit of every later read and write, in milliseconds.
  void SetTimeout(int timeoutMs);
  // Waits for at least one byte; returns how many were read, 0 when the peer closed
  // the connection in order. Throws ESocketError on a time-out or failure.
  std::size_t Read(char* buffer, std::size_t size);
  // Writes all bytes; each wait for the peer to take more is limited.
  void Write(std::string_view data);
  // Whether the peer sent bytes not read yet, or closed its side, told without waiting.
  bool HasInput();
  void Close();
  bool IsOpen() const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

// The name this machine gives itself on the network (the computer name when the host
// name is empty); "localhost" when neither can be read.
std::string LocalHostName();

}  // namespace eqd::platform
