// The network layer against the servers of test_servers.py on loopback: the TLS layer over
// the OpenSSL backend, and a TCP read that urgent data must not disturb.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "support/child_process.h"
#include "support/smtp_server_fixture.h"
#include "support/temp_dir.h"
#include "net_cases.h"

namespace eqd::net::testing {
namespace {

class NetServers : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TTempDir("eqd-net-servers-");
    server_ = new test::TChildProcess(
        {test::kPython, EQ_NET_TEST_SERVERS, "--port-file", dir_->File("ports"), "--cert-dir", dir_->File("cert")});
    if (test::WaitForFile(dir_->File("ports"), std::chrono::seconds(30))) servers_ = ReadTlsServers(dir_->File("ports"));
  }
  static void TearDownTestSuite() {
    delete server_;
    delete dir_;
  }
  void SetUp() override { ASSERT_FALSE(servers_.Values.empty()) << "the test servers did not start"; }
  void TearDown() override { unsetenv("SSL_CERT_FILE"); }

  // OpenSSL takes its trusted roots from SSL_CERT_FILE when it is set: the test CA, or
  // an empty file that trusts nothing.
  static void TrustTestCa(bool trust) {
    const std::string none = dir_->Write("no-roots.pem", "");
    setenv("SSL_CERT_FILE", trust ? servers_.Values.at("ca").c_str() : none.c_str(), 1);
  }

  static inline test::TTempDir* dir_ = nullptr;
  static inline test::TChildProcess* server_ = nullptr;
  static inline TTlsServersStruct servers_;
};

TEST_F(NetServers, EveryDemandOfThePolicyIsMetOrRefused) {
  for (const TPolicyCase& c : PolicyCases(TTlsBackend::tbOpenSsl, servers_)) {
    TrustTestCa(c.TrustCa);
    ExpectPolicyCase(c, servers_);
  }
}

TEST_F(NetServers, ReportsWhatTheHandshakeSettled) {
  const TTlsSessionInfoStruct info =
      HandshakeWith(servers_, "tls12", Policy(TTlsVersion::tvTls10, TTlsVersion::tvTls12, TTlsVerification::tvNone));
  EXPECT_EQ(info.Version, TTlsVersion::tvTls12);
  EXPECT_NE(info.Cipher, "");
  EXPECT_EQ(info.Subject, "CN=localhost");
  EXPECT_EQ(info.Issuer, "CN=eqd test CA");
  const auto now = std::chrono::system_clock::now();
  EXPECT_LT(info.NotBefore, now);
  EXPECT_GT(info.NotAfter, now);
  EXPECT_EQ(info.KeySha256, servers_.Key());
}

TEST_F(NetServers, FollowsTheServersRenegotiation) { ExpectRenegotiationFollowed(servers_, false); }

TEST_F(NetServers, UrgentDataDoesNotWakeAReader) { ExpectUrgentDataIgnored(servers_); }

}  // namespace
}  // namespace eqd::net::testing
