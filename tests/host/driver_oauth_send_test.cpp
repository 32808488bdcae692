// Sends signed in with OAuth 2.0 through a server that really checks the tokens:
// Dovecot's submission service asks the loopback identity provider about each token.
#include <gtest/gtest.h>

#include "driver_session.h"
#include "support/identity_provider_fixture.h"

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

}  // namespace
}  // namespace eqd
