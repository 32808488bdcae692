// The network layer's failures as the sender's failure records: the class the
// explanation is chosen by, and the text that follows it.
#pragma once

#include "mail/security/failure_explanation.h"
#include "net/net_error.h"

namespace eqd::smtp {

TSmtpFailureStruct NetworkFailure(const net::ENetError& failure);

}  // namespace eqd::smtp
