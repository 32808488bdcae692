// The SMTP connection itself: a TCP socket as a byte stream, with the sender's limit
// on every wait and its own texts for network failures.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "mail/smtp/byte_stream.h"
#include "platform/tcp_socket.h"

namespace eqd::smtp {

class TSocketStream final : public TByteStream {
 public:
  // Connects within `wait`, which then limits each write and each read (a read deadline
  // shortens it); raises ESmtpError naming the host and port.
  TSocketStream(const std::string& host, std::uint16_t port, std::chrono::milliseconds wait);

  std::size_t Read(char* buffer, std::size_t size) override;
  void Write(std::string_view data) override;
  bool InputPending() override;
  void SetReadDeadline(std::optional<std::chrono::steady_clock::time_point> deadline) override;
  void Close() { socket_.Close(); }

 private:
  platform::TTcpSocket socket_;
  int waitMs_;
  std::optional<std::chrono::steady_clock::time_point> readDeadline_;
};

}  // namespace eqd::smtp
