#include "mail/oauth/oauth_sasl.h"

#include <gtest/gtest.h>

#include "mail/codecs/base64.h"

namespace eqd::oauth {
namespace {

TEST(OAuthSaslTest, InitialResponsesCarryUserAndToken) {
  EXPECT_EQ(Base64Decode(Xoauth2InitialResponse("robot@example.com", "ya29.tok")),
            std::string("user=robot@example.com\x01" "auth=Bearer ya29.tok\x01\x01"));
  // The RFC's own example, and the escaping of the GS2 user name.
  EXPECT_EQ(Base64Decode(OAuthBearerInitialResponse("user@example.com", "vF9dft4qmTc2Nvb3RlckBhbHRhdmlzdGEuY29tCg==",
                                                     "server.example.com", 143)),
            std::string("n,a=user@example.com,\x01" "host=server.example.com\x01" "port=143\x01"
                        "auth=Bearer vF9dft4qmTc2Nvb3RlckBhbHRhdmlzdGEuY29tCg==\x01\x01"));
  EXPECT_EQ(Base64Decode(OAuthBearerInitialResponse("a,b=c", "t", "h", 587)).substr(0, 14), "n,a=a=2Cb=3Dc,");
  EXPECT_EQ(Base64Decode(std::string(kOAuthBearerErrorAnswer)), "\x01");
}

TEST(OAuthSaslTest, ReadsAndExplainsTheErrorChallenge) {
  struct TCase {
    std::string Json;
    const char* Status;
    const char* Scope;
    const char* Explanation;
  };
  const TCase cases[] = {
      {R"({"status":"400","schemes":"Bearer","scope":"https://mail.google.com/"})", "400", "https://mail.google.com/",
       "Сервер SMTP отклонил токен OAuth 2.0 (статус 400, требуемая область доступа https://mail.google.com/)"},
      {R"({"status":"invalid_token"})", "invalid_token", "", "Сервер SMTP отклонил токен OAuth 2.0 (статус invalid_token)"},
      {R"({"status":401})", "401", "", "Сервер SMTP отклонил токен OAuth 2.0 (статус 401)"},
      {R"({"status":"401\r\nERROR x"})", "401  ERROR x", "", nullptr},
      {"not json", "", "", "Сервер SMTP отклонил токен OAuth 2.0"},
      {"[]", "", "", "Сервер SMTP отклонил токен OAuth 2.0"},
  };
  for (const TCase& c : cases) {
    const TOAuthChallengeStruct challenge = ParseOAuthChallenge(Base64Encode(c.Json));
    EXPECT_EQ(challenge.Status, c.Status) << c.Json;
    EXPECT_EQ(challenge.Scope, c.Scope) << c.Json;
    if (c.Explanation) {
      EXPECT_EQ(ExplainOAuthChallenge(challenge), c.Explanation);
    }
  }
}

}  // namespace
}  // namespace eqd::oauth
