// Which mechanism a login uses: the first of a preference list that the server announced.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mail/sasl/sasl_mechanism.h"

namespace eqd::sasl {

enum class TSaslMechanismId { smLogin, smPlain, smXoauth2, smOAuthBearer };

// The preference of a login when nothing asks for another: LOGIN alone. PLAIN is there
// for a setting that asks for it.
inline constexpr TSaslMechanismId kDefaultSaslMechanisms[] = {TSaslMechanismId::smLogin};

// The name a mechanism goes by in the AUTH command and the server's list ("LOGIN").
std::string_view SaslMechanismName(TSaslMechanismId id);

// The first mechanism of `preferred` that `announced` (the names after AUTH in the
// server's EHLO reply, in any case) holds, made for `credentials`; none when the server
// announced none of them.
std::unique_ptr<TSaslMechanism> SelectSaslMechanism(const std::vector<std::string>& announced,
                                                    const TSaslCredentialsStruct& credentials,
                                                    std::span<const TSaslMechanismId> preferred = kDefaultSaslMechanisms);

}  // namespace eqd::sasl
