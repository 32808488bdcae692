#include "mail/sasl/sasl_selector.h"

#include <algorithm>

#include "automation/ascii_case.h"

namespace eqd::sasl {
namespace {

struct TMechanismEntry {
  TSaslMechanismId Id;
  std::string_view Name;
  std::unique_ptr<TSaslMechanism> (*Create)(const TSaslCredentialsStruct&);
};

constexpr TMechanismEntry kMechanisms[] = {
    {TSaslMechanismId::smLogin, "LOGIN", &CreateLoginMechanism},
    {TSaslMechanismId::smPlain, "PLAIN", &CreatePlainMechanism},
    {TSaslMechanismId::smXoauth2, "XOAUTH2", &CreateXoauth2Mechanism},
    {TSaslMechanismId::smOAuthBearer, "OAUTHBEARER", &CreateOAuthBearerMechanism},
};

}  // namespace

std::string_view SaslMechanismName(TSaslMechanismId id) {
  for (const TMechanismEntry& entry : kMechanisms)
    if (entry.Id == id) return entry.Name;
  return {};
}

std::unique_ptr<TSaslMechanism> SelectSaslMechanism(const std::vector<std::string>& announced,
                                                    const TSaslCredentialsStruct& credentials,
                                                    std::span<const TSaslMechanismId> preferred) {
  for (const TSaslMechanismId id : preferred) {
    const auto entry = std::find_if(std::begin(kMechanisms), std::end(kMechanisms),
                                    [id](const TMechanismEntry& e) { return e.Id == id; });
    if (entry == std::end(kMechanisms)) continue;
    const bool offered = std::any_of(announced.begin(), announced.end(),
                                     [&](const std::string& name) { return AsciiSameText(name, entry->Name); });
    if (offered) return entry->Create(credentials);
  }
  return nullptr;
}

}  // namespace eqd::sasl
