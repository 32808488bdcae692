// The moment by which a wait must end. One deadline is handed down through every layer
// of a connection (the SMTP reply, the TLS record, the socket); only the lowest wait
// turns it into what its system call takes.
#pragma once

#include <chrono>

namespace eqd::platform {

using TClock = std::chrono::steady_clock;
using TDeadline = TClock::time_point;

inline TDeadline DeadlineAfter(TClock::duration limit) { return TClock::now() + limit; }
inline bool DeadlinePassed(TDeadline deadline) { return TClock::now() >= deadline; }

}  // namespace eqd::platform
