// The two-way byte channel the SMTP dialogue runs over: a TCP connection, a TLS layer
// on top of one, or a scripted channel in tests.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string_view>

namespace eqd::smtp {

class TByteStream {
 public:
  virtual ~TByteStream() = default;
  // Waits for at least one byte and returns how many were read; 0 when the peer closed
  // the connection. Failures and time-outs raise ESmtpError.
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
  // Writes all the bytes or raises ESmtpError.
  virtual void Write(std::string_view data) = 0;
  // Whether the peer sent something not read yet (bytes, or the end of the connection),
  // told without waiting.
  virtual bool InputPending() = 0;
  // Reads from now on must be done by `deadline` (none: each read has the stream's own
  // limit). The connection at the bottom keeps the clock; a layer over it reads through
  // it and so keeps the same deadline.
  virtual void SetReadDeadline(std::optional<std::chrono::steady_clock::time_point> /*deadline*/) {}
};

// Where message text goes in pieces.
class TDataSink {
 public:
  virtual ~TDataSink() = default;
  virtual void Write(std::string_view data) = 0;
};

}  // namespace eqd::smtp
