// What the network layer is held to on every system, against the servers of
// test_servers.py: each demand of a TLS policy is met or refused with a clear error, never
// silently dropped; a server's renegotiation is followed; urgent data does not wake a
// reader. Shared by the native tests (OpenSSL, POSIX sockets) and the Windows tests run
// under Wine (Schannel, Windows Sockets).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "net/net_error.h"
#include "net/tcp_connection.h"
#include "net/tls_layer.h"

namespace eqd::net::testing {

using platform::TSha256;

// What test_servers.py wrote into its port file.
struct TTlsServersStruct {
  std::map<std::string, std::string> Values;

  int Port(const std::string& scenario) const { return std::stoi(Values.at(scenario)); }
  TSha256 Key() const {
    TSha256 key{};
    const std::string& hex = Values.at("key_sha256");
    for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    return key;
  }
};

inline TTlsServersStruct ReadTlsServers(const std::string& path) {
  TTlsServersStruct servers;
  std::ifstream in(path);
  for (std::string name, value; in >> name >> value;) servers.Values[name] = value;
  return servers;
}

enum class TTlsBackend { tbOpenSsl, tbSchannel };

struct TPolicyCase {
  std::string Name;
  std::string Scenario;  // the server; empty: the policy alone, refused before any connection
  TTlsPolicyStruct Policy;
  std::optional<TNetErrorKind> Fails = std::nullopt;  // none: the handshake and an exchange of lines work
  std::string Detail = "";  // a part of the failure's text; empty: any text but none
  TTlsVersion Version = TTlsVersion::tvTls12;  // settled when it works
  bool TrustCa = true;  // the test CA is among the trusted roots (OpenSSL only can drop it)
};

inline TTlsPolicyStruct Policy(TTlsVersion min, TTlsVersion max, TTlsVerification verification,
                               const std::string& name = "localhost", TSha256 pin = {}) {
  TTlsPolicyStruct policy;
  policy.MinVersion = min;
  policy.MaxVersion = max;
  policy.ServerName = name;
  policy.Verification = verification;
  policy.PinnedKey = pin;
  return policy;
}

inline std::vector<TPolicyCase> PolicyCases(TTlsBackend backend, const TTlsServersStruct& servers) {
  using V = TTlsVersion;
  using C = TTlsVerification;
  using K = TNetErrorKind;
  const bool schannel = backend == TTlsBackend::tbSchannel;
  TSha256 otherKey = servers.Key();
  otherKey[0] ^= 0xFF;
  std::vector<TPolicyCase> cases = {
      // Today's policy: TLS 1.0 to 1.2, nothing checked.
      {"today's policy, TLS 1.2 server", "tls12", Policy(V::tvTls10, V::tvTls12, C::tvNone), {}, "", V::tvTls12},
      {"today's policy, TLS 1.0 server", "tls10", Policy(V::tvTls10, V::tvTls12, C::tvNone), {}, "", V::tvTls10},
      {"today's policy, an expired certificate goes unchecked", "expired", Policy(V::tvTls10, V::tvTls12, C::tvNone)},
      {"today's policy, an address as the name", "tls12", Policy(V::tvTls10, V::tvTls12, C::tvNone, "127.0.0.1")},
      // Versions.
      {"TLS 1.2 at least, TLS 1.0 server", "tls10", Policy(V::tvTls12, V::tvTls12, C::tvNone), K::neTlsHandshake},
      {"up to TLS 1.2, TLS 1.3 server", "tls13", Policy(V::tvTls10, V::tvTls12, C::tvNone), K::neTlsHandshake},
      // The system's check: a chain to a trusted root, the name, the dates.
      {"system check passes", "tls12", Policy(V::tvTls12, V::tvTls12, C::tvSystem)},
      {"system check of an address", "tls12", Policy(V::tvTls12, V::tvTls12, C::tvSystem, "127.0.0.1")},
      {"system check, another name", "tls12", Policy(V::tvTls12, V::tvTls12, C::tvSystem, "mail.other.test"),
       K::neCertificate},
      {"system check, expired", "expired", Policy(V::tvTls12, V::tvTls12, C::tvSystem), K::neCertificate, "expired"},
      // The pin: the key alone, whatever the chain.
      {"pinned key matches", "expired", Policy(V::tvTls12, V::tvTls12, C::tvPin, "localhost", servers.Key())},
      {"pinned key differs", "tls12", Policy(V::tvTls12, V::tvTls12, C::tvPin, "localhost", otherKey),
       K::neCertificate, "pinned"},
      // Policies no backend can honour.
      {"versions the wrong way round", "", Policy(V::tvTls12, V::tvTls10, C::tvNone), K::neTlsPolicy,
       "the lowest TLS version allowed is above the highest"},
      {"a system check without a name", "", Policy(V::tvTls12, V::tvTls12, C::tvSystem, ""), K::neTlsPolicy,
       "a certificate check needs the server's name"},
      {"a pin of nothing", "", Policy(V::tvTls12, V::tvTls12, C::tvPin), K::neTlsPolicy, "no key is pinned"},
  };
  if (schannel) {
    // SCHANNEL_CRED ends at TLS 1.2: a policy that insists on TLS 1.3 is refused, and one
    // that merely allows it gets TLS 1.2 at most.
    cases.push_back({"TLS 1.3 required", "tls13", Policy(V::tvTls13, V::tvTls13, C::tvNone), K::neTlsPolicy,
                     "TLS 1.3 cannot be required"});
    cases.push_back({"TLS 1.3 allowed, TLS 1.3 server", "tls13", Policy(V::tvTls12, V::tvTls13, C::tvNone),
                     K::neTlsHandshake});
  } else {
    cases.push_back({"TLS 1.3 required", "tls13", Policy(V::tvTls13, V::tvTls13, C::tvNone), {}, "", V::tvTls13});
    cases.push_back({"system check, CA not trusted", "tls12", Policy(V::tvTls12, V::tvTls12, C::tvSystem),
                     K::neCertificate, "", V::tvTls12, false});
  }
  return cases;
}

inline TDeadline Soon() { return platform::DeadlineAfter(std::chrono::seconds(10)); }

// One line through the layer and its answer, without the line end.
inline std::string Exchange(TTlsLayer& tls, const std::string& line) {
  tls.Write(line + "\r\n", Soon());
  std::string answer;
  char c = 0;
  while (answer.size() < 2 || answer.compare(answer.size() - 2, 2, "\r\n") != 0) {
    if (tls.Read(&c, 1, Soon()) == 0) return answer + "<closed>";
    answer += c;
  }
  return answer.substr(0, answer.size() - 2);
}

// Connects to `scenario`, runs the handshake under `policy`, and checks one exchange.
inline TTlsSessionInfoStruct HandshakeWith(const TTlsServersStruct& servers, const std::string& scenario,
                                           const TTlsPolicyStruct& policy) {
  TTcpConnection tcp("127.0.0.1", static_cast<std::uint16_t>(servers.Port(scenario)), Soon());
  const std::unique_ptr<TTlsLayer> tls = CreateTlsLayer(tcp, policy);
  tls->Handshake(Soon());
  EXPECT_EQ(Exchange(*tls, "ping"), "echo ping");
  tls->Close(Soon());
  return tls->SessionInfo();
}

// A stream that is never used: the policy alone is judged.
class TNoStream final : public TByteStream {
 public:
  std::size_t Read(char*, std::size_t, TDeadline) override { return 0; }
  void Write(std::string_view, TDeadline) override {}
  bool InputPending() override { return false; }
};

inline void ExpectPolicyCase(const TPolicyCase& c, const TTlsServersStruct& servers) {
  SCOPED_TRACE(c.Name);
  try {
    TTlsSessionInfoStruct info;
    if (c.Scenario.empty()) {
      TNoStream none;
      CreateTlsLayer(none, c.Policy);
    } else {
      info = HandshakeWith(servers, c.Scenario, c.Policy);
    }
    ASSERT_FALSE(c.Fails.has_value()) << "the policy was not enforced";
    EXPECT_EQ(info.Version, c.Version);
  } catch (const ENetError& e) {
    ASSERT_TRUE(c.Fails.has_value()) << "failed: " << e.what();
    EXPECT_EQ(e.Kind(), *c.Fails) << e.what();
    EXPECT_EQ(e.Step(), TNetStep::nsHandshake) << e.what();
    EXPECT_NE(e.Detail(), "");
    EXPECT_NE(e.Detail().find(c.Detail), std::string::npos) << e.Detail();
  }
}

// The server asks for a new handshake before its first answer. A client does it, or
// declines when `mayDecline` (TLS 1.2 lets it); either way the session goes on, the
// answers saying which it was.
inline void ExpectRenegotiationFollowed(const TTlsServersStruct& servers, bool mayDecline) {
  TTcpConnection tcp("127.0.0.1", static_cast<std::uint16_t>(servers.Port("renegotiate")), Soon());
  const std::unique_ptr<TTlsLayer> tls =
      CreateTlsLayer(tcp, Policy(TTlsVersion::tvTls10, TTlsVersion::tvTls12, TTlsVerification::tvNone));
  tls->Handshake(Soon());
  const std::string first = Exchange(*tls, "one");
  const std::string outcome = mayDecline && first == "echo one pending" ? " pending" : " renegotiated";
  EXPECT_EQ(first, "echo one" + outcome);
  EXPECT_EQ(Exchange(*tls, "two"), "echo two" + outcome);
  EXPECT_EQ(Exchange(*tls, "three"), "echo three" + outcome);
}

// The server sends one byte out of band and then nothing: a read waits for ordinary bytes
// until its deadline, and then ends.
inline void ExpectUrgentDataIgnored(const TTlsServersStruct& servers) {
  TTcpConnection tcp("127.0.0.1", static_cast<std::uint16_t>(servers.Port("urgent")), Soon());
  char buffer[16];
  try {
    tcp.Read(buffer, sizeof buffer, platform::DeadlineAfter(std::chrono::milliseconds(300)));
    ADD_FAILURE() << "read something";
  } catch (const ENetError& e) {
    EXPECT_EQ(e.Kind(), TNetErrorKind::neTimedOut) << e.what();
    EXPECT_EQ(e.Step(), TNetStep::nsRead);
  }
}

}  // namespace eqd::net::testing
