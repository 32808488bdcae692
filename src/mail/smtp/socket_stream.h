// The SMTP connection itself: a TCP socket as a byte stream, with the sender's limit
// on every wait and its own texts for network failures.
#pragma once

#include <cstdint>
#include <string>

#include "mail/smtp/byte_stream.h"
#include "platform/tcp_socket.h"

namespace eqd::smtp {

// Every wait for the server, connecting included, ends after this long.
inline constexpr int kDefaultTimeoutMs = 30000;

// The limit in force: kDefaultTimeoutMs unless a test shortened it.
int TimeoutMs();
// For tests only, so that a silent server fails fast; 0 restores the default.
void SetTimeoutMsForTesting(int timeoutMs);

class TSocketStream final : public TByteStream {
 public:
  // Connects with the limit in force; raises ESmtpError naming the host and port.
  TSocketStream(const std::string& host, std::uint16_t port);

  std::size_t Read(char* buffer, std::size_t size) override;
  void Write(std::string_view data) override;
  void Close() { socket_.Close(); }

 private:
  platform::TTcpSocket socket_;
};

}  // namespace eqd::smtp
