// Sends signed in with OAuth 2.0 through a server that really checks the tokens:
// Dovecot's submission service asks the loopback identity provider about each token.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "driver_session.h"
#include "mail/codecs/base64.h"
#include "support/identity_provider_fixture.h"
#include "support/temp_dir.h"

namespace eqd {
namespace {

using test::Arr;
using test::TCallResult;
using test::TDriverSession;

class DriverOAuthSendTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    provider_ = new test::TIdentityProviderProcess();
    dovecot_ = new test::TDovecotSubmissionProcess(*provider_);
  }
  static void TearDownTestSuite() {
    delete dovecot_;
    delete provider_;
  }

  TCallResult Send(TDriverSession& s) {
    EXPECT_TRUE(s.Call("AddRecepient", Arr({Variant("buyer@example.test")})).Result);
    return s.Call("SendMail", Arr({Variant(), Variant(), Variant(), Variant("Заказ готов"), Variant("<p>Готово</p>"),
                                   Variant()}));
  }

  // Enables an object for the server and the provider with the flow's settings.
  void EnableFor(TDriverSession& s, const std::map<std::string, Variant>& flow) {
    std::map<std::string, Variant> values{{"SmtpServerName", Variant("127.0.0.1")},
                                          {"SmtpServerPort", Variant(std::to_string(dovecot_->Port()))},
                                          {"UserEmail", Variant("Робот <robot@example.com>")},
                                          {"SmtpAuthMethod", Variant("OAuth 2.0")}};
    for (const auto& [k, v] : flow) values[k] = v;
    ASSERT_TRUE(s.Set(values).Result);
    const TCallResult enabled = s.Call("Enable");
    ASSERT_TRUE(enabled.Result) << enabled.Text();
  }
  std::map<std::string, Variant> App() const {
    return {{"OAuthFlow", Variant("ms365-app")},
            {"OAuthTenant", Variant("contoso")},
            {"OAuthClientId", Variant("app-id")},
            {"OAuthClientSecret", Variant("app-secret")},
            {"OAuthTokenUrl", Variant(provider_->Url("/contoso/oauth2/v2.0/token"))}};
  }
  // A control request to the provider (tests/support/identity_provider.py).
  static void Control(const std::string& pathAndQuery) {
    ASSERT_EQ(provider_->Control(pathAndQuery).Status, 200) << pathAndQuery;
  }

  static test::TIdentityProviderProcess* provider_;
  static test::TDovecotSubmissionProcess* dovecot_;
  test::TTrustedCa trust_{provider_->CaFile()};
};
test::TIdentityProviderProcess* DriverOAuthSendTest::provider_ = nullptr;
test::TDovecotSubmissionProcess* DriverOAuthSendTest::dovecot_ = nullptr;

// Two sends of one object: the provider is asked once, both messages are relayed.
TEST_F(DriverOAuthSendTest, AnApplicationSendsTwiceWithOneToken) {
  TDriverSession s;
  s.Open("DEV1");
  ASSERT_TRUE(s.Set({{"SmtpServerName", Variant("127.0.0.1")},
                     {"SmtpServerPort", Variant(std::to_string(dovecot_->Port()))},
                     {"UserEmail", Variant("Робот <robot@example.com>")},
                     {"SmtpAuthMethod", Variant("OAuth 2.0")},
                     {"OAuthFlow", Variant("ms365-app")},
                     {"OAuthTenant", Variant("contoso")},
                     {"OAuthClientId", Variant("app-id")},
                     {"OAuthClientSecret", Variant("app-secret")},
                     {"OAuthTokenUrl", Variant(provider_->Url("/contoso/oauth2/v2.0/token"))}})
                  .Result);
  const TCallResult enabled = s.Call("Enable");
  ASSERT_TRUE(enabled.Result) << enabled.Text();
  const int before = provider_->TokenRequestCount();
  const int delivered = dovecot_->MessageCount();
  for (int i = 0; i < 2; ++i) {
    const TCallResult r = Send(s);
    ASSERT_TRUE(r.Result) << r.Text();
  }
  EXPECT_EQ(provider_->TokenRequestCount() - before, 1);
  EXPECT_EQ(dovecot_->MessageCount() - delivered, 2);
}

// A host's token the provider does not know: refused once, not tried again.
TEST_F(DriverOAuthSendTest, ARefusedHostTokenFailsTheSend) {
  TDriverSession s;
  s.Open("DEV1");
  ASSERT_TRUE(s.Set({{"SmtpServerName", Variant("127.0.0.1")},
                     {"SmtpServerPort", Variant(std::to_string(dovecot_->Port()))},
                     {"UserEmail", Variant("robot@example.com")},
                     {"SmtpAuthMethod", Variant("OAuth 2.0")},
                     {"OAuthFlow", Variant("access-token")},
                     {"OAuthAccessToken", Variant("at-unknown")}})
                  .Result);
  ASSERT_TRUE(s.Call("Enable").Result);
  const TCallResult r = Send(s);
  EXPECT_FALSE(r.Result);
  EXPECT_FALSE(r.Text().empty());
}

// The server refuses the cached token (the provider revoked it meanwhile): the sender
// forgets it, asks the provider once more and logs in again on the same connection; the
// message goes.
TEST_F(DriverOAuthSendTest, ACachedTokenTheServerRefusesGetsOneNewTokenAndOneMoreLogin) {
  TDriverSession s;
  s.Open("DEV1");
  EnableFor(s, App());
  const int before = provider_->TokenRequestCount();
  const int delivered = dovecot_->MessageCount();
  TCallResult r = Send(s);
  ASSERT_TRUE(r.Result) << r.Text();
  Control("/control/revoke?access_tokens=all");
  r = Send(s);
  ASSERT_TRUE(r.Result) << r.Text();
  EXPECT_EQ(provider_->TokenRequestCount() - before, 2);
  EXPECT_EQ(dovecot_->MessageCount() - delivered, 2);
}

// A refresh token the provider revoked: the send fails before any login, with the
// provider's code and what to do about it, in Russian.
TEST_F(DriverOAuthSendTest, ARevokedRefreshTokenFailsWithItsExplanation) {
  Control("/control/revoke?refresh_token=rt-revoked");
  TDriverSession s;
  s.Open("DEV1");
  EnableFor(s, {{"OAuthFlow", Variant("refresh-token")},
                {"OAuthClientId", Variant("app-id")},
                {"OAuthRefreshToken", Variant("rt-revoked")},
                {"OAuthTokenUrl", Variant(provider_->Url("/token"))}});
  const int delivered = dovecot_->MessageCount();
  const TCallResult r = Send(s);
  EXPECT_FALSE(r.Result);
  EXPECT_NE(r.Text().find("invalid_grant"), std::string::npos) << r.Text();
  EXPECT_NE(r.Text().find("войдите заново"), std::string::npos) << r.Text();
  EXPECT_EQ(r.Text().find("rt-revoked"), std::string::npos) << r.Text();
  EXPECT_EQ(dovecot_->MessageCount(), delivered);
}

// A good token for another mailbox: the server's refusal is explained as a token's, not a
// password's, and the login is not tried again (the token was new, not from the cache).
TEST_F(DriverOAuthSendTest, ATokenForAnotherMailboxIsExplainedAsSuch) {
  TDriverSession s;
  s.Open("DEV1");
  EnableFor(s, {{"OAuthFlow", Variant("refresh-token")},
                {"OAuthClientId", Variant("app-id")},
                {"OAuthRefreshToken", Variant("rt-start")},  // person@example.com's, not robot's
                {"OAuthTokenUrl", Variant(provider_->Url("/token"))}});
  const int before = provider_->TokenRequestCount();
  const TCallResult r = Send(s);
  EXPECT_FALSE(r.Result);
  EXPECT_NE(r.Text().find("сервер не принял токен OAuth 2.0"), std::string::npos) << r.Text();
  EXPECT_NE(r.Text().find("SmtpServerUser"), std::string::npos) << r.Text();
  // What the server's error challenge said about the token.
  EXPECT_NE(r.Text().find("Сервер SMTP отклонил токен OAuth 2.0 (статус "), std::string::npos) << r.Text();
  EXPECT_EQ(r.Text().find("пароль"), std::string::npos) << r.Text();
  EXPECT_EQ(provider_->TokenRequestCount() - before, 1);
}

// Every file the driver wrote while sending with each flow (the call trace and the event
// log, both on) holds none of the secrets: the client secret, the refresh token, the
// access tokens the provider gave, the service account's private key, the XOAUTH2 line.
TEST_F(DriverOAuthSendTest, NoSecretInAnyFileTheDriverWrote) {
  test::TTempDir data("eqd-oauth-files-");
  const char* saved = std::getenv("VLM_DODEZOZ41_DATA_DIR");
  const std::string savedValue = saved ? saved : "";
  ::setenv("VLM_DODEZOZ41_DATA_DIR", data.Path().c_str(), 1);
  const std::string key = test::ReadFileBytes(provider_->ServiceAccountKeyFile());
  {
    const std::map<std::string, Variant> flows[] = {
        App(),
        {{"OAuthFlow", Variant("refresh-token")},
         {"UserEmail", Variant("person@example.com")},  // whom the refresh token signs in
         {"OAuthClientId", Variant("app-id")},
         {"OAuthClientSecret", Variant("app-secret")},
         {"OAuthRefreshToken", Variant("rt-start")},
         {"OAuthTokenUrl", Variant(provider_->Url("/token"))}},
        {{"OAuthFlow", Variant("google-service-account")},
         {"OAuthServiceAccountKey", Variant(key)},
         {"OAuthTokenUrl", Variant(provider_->Url("/token"))}},
    };
    for (const auto& flow : flows) {
      TDriverSession s;
      s.Open("DEV1");
      ASSERT_TRUE(s.Set({{"DebugLogEnabled", Variant(true)}}).Result);
      EnableFor(s, flow);
      const TCallResult r = Send(s);
      EXPECT_TRUE(r.Result) << r.Text();
      ASSERT_TRUE(s.Call("GetSettings").Result);
    }
  }
  if (saved) ::setenv("VLM_DODEZOZ41_DATA_DIR", savedValue.c_str(), 1); else ::unsetenv("VLM_DODEZOZ41_DATA_DIR");

  std::string text;
  for (const auto& f : std::filesystem::recursive_directory_iterator(data.Path()))
    if (f.is_regular_file()) text += test::ReadFileBytes(f.path());
  ASSERT_NE(text.find("AUTH XOAUTH2"), std::string::npos) << "the dialogue was logged";
  const std::string privateKey = nlohmann::json::parse(key)["private_key"];
  const std::string keyBody = privateKey.substr(privateKey.find('\n') + 1, 40);
  for (const std::string& secret : {std::string("app-secret"), std::string("rt-start"), keyBody,
                                    std::string("auth=Bearer"), Base64Encode("user=robot@example.com\x01").substr(0, 20)})
    EXPECT_EQ(text.find(secret), std::string::npos) << secret;
  // The provider's tokens, whatever their values: "at-" and "rt-" and 32 hex digits.
  std::smatch token;
  EXPECT_FALSE(std::regex_search(text, token, std::regex("[ar]t-[0-9a-f]{32}"))) << token.str();
}

}  // namespace
}  // namespace eqd
