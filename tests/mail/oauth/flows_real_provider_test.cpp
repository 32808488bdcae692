// Each flow against the loopback identity provider over real HTTPS: it checks the client
// secret, rotates refresh tokens, verifies the service account's RS256 signature with the
// key's public half, and runs the device sign-in.
#include <gtest/gtest.h>

#include "mail/oauth/device_sign_in.h"
#include "mail/oauth/oauth_error.h"
#include "mail/oauth/token_source.h"
#include "support/identity_provider_fixture.h"

namespace eqd::oauth {
namespace {

using namespace std::chrono_literals;
using test::TIdentityProviderOptions;
using test::TIdentityProviderProcess;
using test::TTrustedCa;

std::chrono::steady_clock::time_point Deadline() { return std::chrono::steady_clock::now() + 20s; }

// A control request to the provider (approve a code, revoke a token) that must succeed.
void Control(const TIdentityProviderProcess& provider, const std::string& pathAndQuery) {
  ASSERT_EQ(provider.Control(pathAndQuery).Status, 200) << pathAndQuery;
}

class FlowsRealProviderTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    TIdentityProviderOptions options;
    options.Rotate = true;
    provider_ = new TIdentityProviderProcess(options);
  }
  static void TearDownTestSuite() { delete provider_; }

  TOAuthSettingsStruct Settings(TOAuthFlow flow) const {
    TOAuthSettingsStruct s;
    s.Flow = flow;
    s.ClientId = "app-id";
    s.ClientSecret = "app-secret";
    s.SmtpServer = "127.0.0.1";
    s.Mailbox = "robot@example.com";
    return s;
  }

  static TIdentityProviderProcess* provider_;
  TTrustedCa trust_{provider_->CaFile()};
};
TIdentityProviderProcess* FlowsRealProviderTest::provider_ = nullptr;

TEST_F(FlowsRealProviderTest, ClientCredentialsOfATenant) {
  TOAuthSettingsStruct s = Settings(TOAuthFlow::ofMs365App);
  s.TokenUrl = provider_->Url("/contoso/oauth2/v2.0/token");
  const int before = provider_->TokenRequestCount();
  TOAuthTokenSource source(s);
  const std::string token = source.Token(Deadline()).Value;
  EXPECT_TRUE(token.starts_with("at-")) << token;
  EXPECT_EQ(source.Token(Deadline()).Value, token);  // from the cache
  const auto requests = provider_->Requests();
  ASSERT_EQ(static_cast<int>(requests.size()), before + 1);
  EXPECT_EQ(requests.back()["grant_type"], "client_credentials");
  EXPECT_EQ(requests.back()["scope"], "https://outlook.office365.com/.default");
  EXPECT_EQ(requests.back()["status"], 200);

  s.ClientSecret = "wrong";
  try {
    TOAuthTokenSource(s).Token(Deadline());
    FAIL();
  } catch (const EOAuthError& e) {
    EXPECT_EQ(e.Code(), "invalid_client");
    EXPECT_NE(std::string(e.what()).find("неверный секрет клиента"), std::string::npos) << e.what();
  }
}

TEST_F(FlowsRealProviderTest, RefreshTokensRotateAndARevokedOneAsksToSignInAgain) {
  TOAuthSettingsStruct s = Settings(TOAuthFlow::ofRefreshToken);
  s.ClientSecret = "";  // a public client
  s.TokenUrl = provider_->Url("/token");
  s.RefreshToken = "rt-start";
  TOAuthTokenSource source(s);
  source.Token(Deadline());
  EXPECT_TRUE(source.TakeRotationNotice());
  source.Forget();
  source.Token(Deadline());  // with the rotated token: the old one is gone at the provider
  EXPECT_TRUE(source.TakeRotationNotice());

  // The stored token was replaced at the first refresh: a new object with it is refused.
  try {
    TOAuthTokenSource(s).Token(Deadline());
    FAIL();
  } catch (const EOAuthError& e) {
    EXPECT_EQ(e.Code(), "invalid_grant");
    EXPECT_NE(std::string(e.what()).find("войдите заново"), std::string::npos) << e.what();
  }
}

TEST_F(FlowsRealProviderTest, AServiceAccountSignsForTheMailbox) {
  TOAuthSettingsStruct s = Settings(TOAuthFlow::ofGoogleServiceAccount);
  for (const std::string& key :
       {provider_->ServiceAccountKeyFile(), test::ReadFileBytes(provider_->ServiceAccountKeyFile())}) {
    s.ServiceAccountKey = key;  // a path, then the JSON itself; the key names the token endpoint
    TOAuthTokenSource source(s);
    EXPECT_TRUE(source.Token(Deadline()).Value.starts_with("at-"));
    const auto last = provider_->Requests().back();
    EXPECT_EQ(last["grant_type"], "urn:ietf:params:oauth:grant-type:jwt-bearer");
    EXPECT_EQ(last["status"], 200) << last.dump();
  }
  // The same account with a key of another pair: the provider's check of the signature fails.
  auto forged = nlohmann::json::parse(test::ReadFileBytes(provider_->ServiceAccountKeyFile()));
  forged["private_key"] = test::RunAndCapture("openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 2>/dev/null");
  s.ServiceAccountKey = forged.dump();
  try {
    TOAuthTokenSource(s).Token(Deadline());
    FAIL();
  } catch (const EOAuthError& e) {
    EXPECT_EQ(e.Code(), "invalid_grant");
  }
  // A key that is not RSA cannot sign RS256; nothing is sent then.
  forged["private_key"] = test::ReadFileBytes(provider_->TlsDir() + "/server.key");
  s.ServiceAccountKey = forged.dump();
  const int before = provider_->TokenRequestCount();
  try {
    TOAuthTokenSource(s).Token(Deadline());
    FAIL();
  } catch (const EOAuthError& e) {
    EXPECT_NE(std::string(e.what()).find("RS256"), std::string::npos) << e.what();
  }
  EXPECT_EQ(provider_->TokenRequestCount(), before);
  s.ServiceAccountKey = provider_->TlsDir() + "/server.key";  // a PEM file, not a key JSON
  EXPECT_THROW(TOAuthTokenSource(s).Token(Deadline()), EOAuthError);
  s.ServiceAccountKey = provider_->TlsDir() + "/absent.json";
  EXPECT_THROW(TOAuthTokenSource(s).Token(Deadline()), EOAuthError);
}

TEST_F(FlowsRealProviderTest, ADeviceSignInWaitsForTheApprovalAndSlowsDownWhenAsked) {
  TOAuthSettingsStruct s = Settings(TOAuthFlow::ofRefreshToken);
  s.TokenUrl = provider_->Url("/token");
  s.DeviceUrl = provider_->Url("/devicecode");
  TDeviceSignIn signIn(s);
  const TDeviceAuthorizationStruct device = signIn.Start();
  EXPECT_FALSE(device.UserCode.empty());
  EXPECT_EQ(device.Interval, 1s);

  // The person approves during the second wait; the provider asks to slow down at the first poll.
  std::vector<std::chrono::seconds> waits;
  const auto refreshToken = signIn.WaitForApproval([&](std::chrono::seconds interval) {
    waits.push_back(interval);
    if (waits.size() == 1) Control(*provider_, "/control/slow_down");
    if (waits.size() == 2) Control(*provider_, "/control/approve?user_code=" + device.UserCode);
    return true;
  });
  ASSERT_TRUE(refreshToken);
  EXPECT_EQ(waits, (std::vector<std::chrono::seconds>{1s, 6s}));

  // The refresh token it gave is a working one.
  s.RefreshToken = *refreshToken;
  EXPECT_TRUE(TOAuthTokenSource(s).Token(Deadline()).Value.starts_with("at-"));
}

TEST_F(FlowsRealProviderTest, ADeviceSignInEndsOnCancelRefusalOrExpiry) {
  TOAuthSettingsStruct s = Settings(TOAuthFlow::ofRefreshToken);
  s.TokenUrl = provider_->Url("/token");
  s.DeviceUrl = provider_->Url("/devicecode");
  {
    TDeviceSignIn signIn(s);
    signIn.Start();
    int waits = 0;
    EXPECT_FALSE(signIn.WaitForApproval([&](std::chrono::seconds) { return ++waits < 3; }));
    EXPECT_EQ(waits, 3);
  }
  {
    TDeviceSignIn signIn(s);
    const auto device = signIn.Start();
    try {
      signIn.WaitForApproval([&](std::chrono::seconds) {
        Control(*provider_, "/control/deny?user_code=" + device.UserCode);
        return true;
      });
      FAIL();
    } catch (const EOAuthError& e) {
      EXPECT_EQ(e.Code(), "access_denied");
    }
  }
  {
    // A code that lives 5 s: waits that add up to that end the sign-in even when the
    // provider keeps answering "authorization_pending" (no real time passes here).
    Control(*provider_, "/control/device_expires_in?seconds=5");
    TDeviceSignIn signIn(s);
    signIn.Start();
    Control(*provider_, "/control/device_expires_in?seconds=600");
    int polls = 0;
    try {
      signIn.WaitForApproval([&](std::chrono::seconds) { return ++polls, true; });
      FAIL();
    } catch (const EOAuthError& e) {
      EXPECT_EQ(e.Code(), "expired_token");
    }
    EXPECT_EQ(polls, 5);
  }
  s.DeviceUrl = "";
  EXPECT_THROW(TDeviceSignIn(s).Start(), EOAuthError);  // no provider known by the server name
}

}  // namespace
}  // namespace eqd::oauth
