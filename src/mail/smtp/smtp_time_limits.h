// How long the sender waits for the server.
#pragma once

#include <chrono>

namespace eqd::smtp {

struct TSmtpTimeLimitsStruct {
  // Connecting, each write, the TLS handshake, and each reply from its command to its
  // last line: a server that drips a reply line by line gets no longer than a silent one.
  std::chrono::milliseconds Wait{30000};
  // QUIT's reply once the server has accepted the message (or, for a connection test,
  // the login): nothing depends on it any more, so the host is not kept waiting.
  std::chrono::milliseconds QuitWait{3000};
};

}  // namespace eqd::smtp
