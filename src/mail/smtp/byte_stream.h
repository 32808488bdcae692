// The two-way byte channel the SMTP dialogue runs over: a TCP connection, a TLS layer
// on top of one, or a scripted channel in tests.
#pragma once

#include <cstddef>
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
};

// Where message text goes in pieces.
class TDataSink {
 public:
  virtual ~TDataSink() = default;
  virtual void Write(std::string_view data) = 0;
};

}  // namespace eqd::smtp
