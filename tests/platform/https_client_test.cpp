// The HTTPS client against the loopback identity provider: a real TLS server whose
// certificate comes from a test CA.
#include "platform/https_client.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "support/identity_provider_fixture.h"

namespace eqd::platform {
namespace {

using namespace std::chrono_literals;
using test::TIdentityProviderProcess;
using test::TTrustedCa;

std::chrono::steady_clock::time_point In(std::chrono::milliseconds limit) { return std::chrono::steady_clock::now() + limit; }

THttpsRequestStruct Form(const std::string& url, const std::string& body) {
  THttpsRequestStruct request;
  request.Url = url;
  request.Post = true;
  request.ContentType = "application/x-www-form-urlencoded";
  request.Body = body;
  request.Deadline = In(20s);
  return request;
}

THttpsErrorKind KindOfFailure(const THttpsRequestStruct& request) {
  try {
    HttpsSend(request);
  } catch (const EHttpsError& e) {
    return e.Kind();
  }
  ADD_FAILURE() << "no error for " << request.Url;
  return THttpsErrorKind::hkIO;
}

class HttpsClientTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { provider_ = new TIdentityProviderProcess(); }
  static void TearDownTestSuite() { delete provider_; }
  static TIdentityProviderProcess* provider_;
};
TIdentityProviderProcess* HttpsClientTest::provider_ = nullptr;

TEST_F(HttpsClientTest, PostsAFormAndReadsStatusBodyAndHeaders) {
  TTrustedCa trust(provider_->CaFile());
  const THttpsResponseStruct answer = HttpsSend(Form(
      provider_->Url("/tenant/oauth2/v2.0/token"),
      "grant_type=client_credentials&client_id=app-id&client_secret=app-secret&scope=https%3A%2F%2Foutlook.office365.com%2F.default"));
  EXPECT_EQ(answer.Status, 200);
  EXPECT_NE(answer.Body.find("\"access_token\": \"at-"), std::string::npos) << answer.Body;
  EXPECT_EQ(answer.Header("content-type"), "application/json");
  EXPECT_EQ(answer.Header("CACHE-CONTROL"), "no-store");
  EXPECT_EQ(answer.Header("X-Absent"), "");

  // An error status is an answer like any other.
  const THttpsResponseStruct refused = HttpsSend(Form(provider_->Url("/token"), "grant_type=refresh_token&client_id=nobody"));
  EXPECT_EQ(refused.Status, 401);
  EXPECT_NE(refused.Body.find("invalid_client"), std::string::npos);

  THttpsRequestStruct get;
  get.Url = provider_->Url("/anything?x=1");
  get.Deadline = In(20s);
  const THttpsResponseStruct got = HttpsSend(get);
  EXPECT_EQ(got.Status, 404);
  EXPECT_NE(got.Body.find("/anything?x=1"), std::string::npos);
}

// The CA can be named as a file or as a hashed folder, as OpenSSL's default paths take it.
TEST_F(HttpsClientTest, TrustsTheCaNamedBySslCertFileOrSslCertDir) {
  test::TTempDir hashed("eqd-ca-dir-");
  std::filesystem::copy_file(provider_->CaFile(), hashed.Path() / "ca.pem");
  ASSERT_EQ(std::system(("openssl rehash " + test::ShellQuote(hashed.Path().string()) + " 2>/dev/null").c_str()), 0);
  ASSERT_EQ(setenv("SSL_CERT_DIR", hashed.Path().c_str(), 1), 0);
  EXPECT_EQ(HttpsSend(Form(provider_->Url("/token"), "")).Status, 400);
  unsetenv("SSL_CERT_DIR");
}

TEST_F(HttpsClientTest, RefusesAServerItCannotVerify) {
  // The system's roots do not hold the test CA.
  EXPECT_EQ(KindOfFailure(Form(provider_->Url("/token"), "")), THttpsErrorKind::hkCertificate);
  // Trusted CA, but a name the certificate does not carry (it is for 127.0.0.1 only).
  TTrustedCa trust(provider_->CaFile());
  EXPECT_EQ(KindOfFailure(Form("https://localhost:" + std::to_string(provider_->Port()) + "/token", "")),
            THttpsErrorKind::hkCertificate);
}

TEST(HttpsClientFailureTest, EachFailureHasItsKind) {
  // A port that was free a moment ago: nothing listens there.
  int closedPort = 0;
  {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof(a);
    ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
    closedPort = ntohs(a.sin_port);
    close(s);
  }
  // A listener that never answers: the connection is taken by the system, the TLS
  // handshake waits forever.
  const int silent = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof(a);
  ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
  ASSERT_EQ(listen(silent, 4), 0);
  getsockname(silent, reinterpret_cast<sockaddr*>(&a), &size);
  const std::string silentUrl = "https://127.0.0.1:" + std::to_string(ntohs(a.sin_port)) + "/token";

  struct TCase {
    const char* What;
    std::string Url;
    std::chrono::milliseconds Limit;
    THttpsErrorKind Kind;
  };
  const TCase cases[] = {
      {"plain http", "http://127.0.0.1:1/token", 5000ms, THttpsErrorKind::hkAddress},
      {"another scheme", "ftp://127.0.0.1/token", 5000ms, THttpsErrorKind::hkAddress},
      {"nothing listens", "https://127.0.0.1:" + std::to_string(closedPort) + "/token", 5000ms,
       THttpsErrorKind::hkConnect},
      {"no answer within the deadline", silentUrl, 300ms, THttpsErrorKind::hkTimeout},
      {"deadline already passed", silentUrl, -1ms, THttpsErrorKind::hkTimeout},
      {"a name that does not resolve", "https://host.invalid/token", 5000ms, THttpsErrorKind::hkResolve},
  };
  for (const TCase& c : cases) {
    THttpsRequestStruct request = Form(c.Url, "a=b");
    request.Deadline = In(c.Limit);
    EXPECT_EQ(KindOfFailure(request), c.Kind) << c.What;
  }
  close(silent);
}

}  // namespace
}  // namespace eqd::platform
