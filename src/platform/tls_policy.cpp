// The parts of every TLS backend that do not depend on the system: reading the policy
// and checking a pinned key.
#include <algorithm>

#include "platform/tls_engine.h"
#include "platform/tls_policy_rules.h"

namespace eqd::platform {

bool IsIpAddressLiteral(std::string_view name) {
  if (name.empty()) return false;
  // Host names never hold a colon; IPv6 literals always do.
  if (name.find(':') != std::string_view::npos) return true;
  int parts = 0;
  std::size_t digits = 0;
  for (const char c : name) {
    if (c >= '0' && c <= '9') {
      if (++digits > 3) return false;
    } else if (c == '.') {
      if (digits == 0) return false;
      ++parts;
      digits = 0;
    } else {
      return false;
    }
  }
  return digits > 0 && parts == 3;
}

void CheckTlsPolicy(const TTlsPolicyStruct& policy) {
  if (policy.MinVersion > policy.MaxVersion)
    throw ETlsFailure(TTlsFailureKind::tfUnsupported, "the lowest TLS version allowed is above the highest");
  if (policy.Verification == TTlsVerification::tvSystem && policy.ServerName.empty())
    throw ETlsFailure(TTlsFailureKind::tfUnsupported, "a certificate check needs the server's name");
  if (policy.Verification == TTlsVerification::tvPin &&
      std::all_of(policy.PinnedKey.begin(), policy.PinnedKey.end(), [](std::uint8_t b) { return b == 0; }))
    throw ETlsFailure(TTlsFailureKind::tfUnsupported, "no key is pinned");
}

void CheckPinnedKey(const TTlsPolicyStruct& policy, const TTlsSessionInfoStruct& certificate) {
  if (policy.Verification == TTlsVerification::tvPin && certificate.KeySha256 != policy.PinnedKey)
    throw ETlsFailure(TTlsCertificateProblem::cpPinMismatch, "the server's public key is not the pinned one",
                      certificate);
}

std::string_view TlsHostName(const TTlsPolicyStruct& policy) {
  std::string_view name = policy.ServerName;
  if (name.size() >= 2 && name.front() == '[' && name.back() == ']') name = name.substr(1, name.size() - 2);
  return name;
}

}  // namespace eqd::platform
