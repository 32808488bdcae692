// A TCP client connection as a byte stream.
#pragma once

#include <cstdint>
#include <string>

#include "net/byte_stream.h"
#include "net/net_error.h"
#include "platform/tcp_socket.h"

namespace eqd::net {

class TTcpConnection final : public TByteStream {
 public:
  // Tries the addresses of `host` in the resolver's order until one accepts, all by
  // `deadline`. Raises ENetError (nsConnect) with the last address's failure.
  TTcpConnection(const std::string& host, std::uint16_t port, TDeadline deadline);

  std::size_t Read(char* buffer, std::size_t size, TDeadline deadline) override;
  void Write(std::string_view data, TDeadline deadline) override;
  bool InputPending() override;
  void Close() { socket_.Close(); }

 private:
  // Waits for `what`; whether the socket became ready or the deadline passed, the
  // caller's loop looks again (and at the deadline).
  void Wait(platform::TSocketWait what, TDeadline deadline, TNetStep step);

  platform::TTcpSocket socket_;
};

}  // namespace eqd::net
