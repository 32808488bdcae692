// A two-way byte channel: a TCP connection, a TLS layer over one, or a scripted channel
// in tests. Every wait ends by the deadline its caller hands down.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/deadline.h"

namespace eqd::net {

using platform::TDeadline;

class TByteStream {
 public:
  virtual ~TByteStream() = default;
  // Waits until `deadline` for at least one byte and returns how many were read; 0 when
  // the peer closed the connection. Raises ENetError.
  virtual std::size_t Read(char* buffer, std::size_t size, TDeadline deadline) = 0;
  // Writes all the bytes by `deadline` or raises ENetError.
  virtual void Write(std::string_view data, TDeadline deadline) = 0;
  // Whether the peer sent something not read yet (bytes, or the end of the connection),
  // told without waiting.
  virtual bool InputPending() = 0;
};

}  // namespace eqd::net
