// The network layer on Windows, run under Wine: the TLS layer over Schannel held to the
// same policy cases as the OpenSSL backend, a server's renegotiation, and a read that
// urgent data must not wake. The servers (tests/net/test_servers.py) run on the Linux
// side: run_wine_tests.sh starts them, trusts their CA in the prefix and names their port
// file in EQ_NET_TEST_SERVERS. Without it only the cases that need no server run.
#include <gtest/gtest.h>

#include <cstdlib>

#include "net_cases.h"

namespace eqd::net::testing {
namespace {

TTlsServersStruct Servers() {
  const char* file = std::getenv("EQ_NET_TEST_SERVERS");
  return file && *file ? ReadTlsServers(file) : TTlsServersStruct{};
}

TEST(SchannelLayer, EveryDemandOfThePolicyIsMetOrRefused) {
  TTlsServersStruct servers = Servers();
  const bool reachable = !servers.Values.empty();
  if (!reachable) servers.Values["key_sha256"] = std::string(64, '1');  // a key for the cases to pin
  for (const TPolicyCase& c : PolicyCases(TTlsBackend::tbSchannel, servers)) {
    if (reachable || c.Scenario.empty()) ExpectPolicyCase(c, servers);
  }
}

TEST(SchannelLayer, FollowsTheServersRenegotiation) {
  const TTlsServersStruct servers = Servers();
  if (servers.Values.empty()) GTEST_SKIP() << "EQ_NET_TEST_SERVERS is not set";
  // Wine's Schannel cannot begin a new handshake before the server sends more, so there
  // the request is declined; Windows does the handshake.
  ExpectRenegotiationFollowed(servers, true);
}

TEST(WindowsSockets, UrgentDataDoesNotWakeAReader) {
  const TTlsServersStruct servers = Servers();
  if (servers.Values.empty()) GTEST_SKIP() << "EQ_NET_TEST_SERVERS is not set";
  ExpectUrgentDataIgnored(servers);
}

}  // namespace
}  // namespace eqd::net::testing
