// What every TLS backend does the same way; used by the backends only.
#pragma once

#include <string_view>

#include "platform/tls_engine.h"

namespace eqd::platform {

// Raises ETlsFailure (tfUnsupported) for a policy no backend can honour: versions the
// wrong way round, a certificate check without a name to check, a pin of nothing.
void CheckTlsPolicy(const TTlsPolicyStruct& policy);
// Raises ETlsFailure (cpPinMismatch) when the policy pins a key and `certificate` has another.
void CheckPinnedKey(const TTlsPolicyStruct& policy, const TTlsSessionInfoStruct& certificate);
// The server name without the brackets of an IPv6 literal.
std::string_view TlsHostName(const TTlsPolicyStruct& policy);

}  // namespace eqd::platform
