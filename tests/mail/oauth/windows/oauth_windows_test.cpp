// The OAuth flows through WinHTTP and the system's crypto API, run under Wine against the
// loopback identity provider that tests/windows/oauth/run_oauth_wine.sh starts; its test
// CA is in the prefix's root store. EQ_IDP_URL names the provider ("https://127.0.0.1:N"),
// EQ_IDP_SERVICE_ACCOUNT_KEY its service account key (a Windows path).
#include <gtest/gtest.h>

#include <cstdlib>

#include "mail/oauth/oauth_error.h"
#include "mail/oauth/token_source.h"

namespace eqd::oauth {
namespace {

using namespace std::chrono_literals;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::chrono::steady_clock::time_point Deadline() { return std::chrono::steady_clock::now() + 30s; }

class OAuthWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Env("EQ_IDP_URL").empty()) GTEST_SKIP() << "EQ_IDP_URL is not set (run by run_oauth_wine.sh)";
  }
  TOAuthSettingsStruct Settings(TOAuthFlow flow, const std::string& path = "/token") const {
    TOAuthSettingsStruct s;
    s.Flow = flow;
    s.ClientId = "app-id";
    s.ClientSecret = "app-secret";
    s.TokenUrl = Env("EQ_IDP_URL") + path;
    s.Mailbox = "robot@example.com";
    return s;
  }
};

TEST_F(OAuthWindowsTest, ClientCredentialsThroughWinHttp) {
  TOAuthTokenSource source(Settings(TOAuthFlow::ofMs365App, "/contoso/oauth2/v2.0/token"));
  const std::string token = source.Token(Deadline()).Value;
  EXPECT_EQ(token.rfind("at-", 0), 0u) << token;
  EXPECT_TRUE(source.Token(Deadline()).FromCache);
  EXPECT_EQ(source.Fetches(), 1);
}

TEST_F(OAuthWindowsTest, RefreshTokenWithRotationThroughWinHttp) {
  TOAuthSettingsStruct s = Settings(TOAuthFlow::ofRefreshToken);
  s.ClientSecret = "";
  s.RefreshToken = "rt-start";
  TOAuthTokenSource source(s);
  source.Token(Deadline());
  EXPECT_TRUE(source.TakeRotationNotice());
  source.Forget();
  EXPECT_EQ(source.Token(Deadline()).Value.rfind("at-", 0), 0u);
  try {
    TOAuthTokenSource(s).Token(Deadline());  // the stored token was replaced
    FAIL();
  } catch (const EOAuthError& e) {
    EXPECT_EQ(e.Code(), "invalid_grant");
  }
}

TEST_F(OAuthWindowsTest, AServiceAccountAssertionSignedByTheSystemsCryptoApi) {
  TOAuthSettingsStruct s = Settings(TOAuthFlow::ofGoogleServiceAccount);
  s.TokenUrl = "";  // the key names the provider's token endpoint
  s.ServiceAccountKey = Env("EQ_IDP_SERVICE_ACCOUNT_KEY");
  EXPECT_EQ(TOAuthTokenSource(s).Token(Deadline()).Value.rfind("at-", 0), 0u);
}

TEST_F(OAuthWindowsTest, ANameTheCertificateDoesNotCarryIsRefused) {
  TOAuthSettingsStruct s = Settings(TOAuthFlow::ofMs365App);
  const std::string url = Env("EQ_IDP_URL");
  s.TokenUrl = "https://localhost" + url.substr(url.rfind(':')) + "/token";
  try {
    TOAuthTokenSource(s).Token(Deadline());
    FAIL();
  } catch (const EOAuthError& e) {
    EXPECT_NE(std::string(e.what()).find("сертификат"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace eqd::oauth
