// The network layer's failures in the driver's words.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "net/net_error.h"

namespace eqd::smtp {

// The text the host is shown for `failure`; `host` and `port` name the server in the
// texts of a failed connection.
std::string NetworkFailureText(const net::ENetError& failure, std::string_view host = {}, std::uint16_t port = 0);

}  // namespace eqd::smtp
