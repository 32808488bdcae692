#include "mail/oauth/oauth_requests.h"

#include <gtest/gtest.h>

#include "mail/oauth/oauth_error.h"

namespace eqd::oauth {
namespace {

using namespace std::chrono_literals;

TEST(OAuthRequestsTest, FormEncodingKeepsOnlyUnreservedCharacters) {
  EXPECT_EQ(FormEncode({{"scope", "https://outlook.office.com/SMTP.Send offline_access"}, {"a b", "x&y=z+~_.-"}}),
            "scope=https%3A%2F%2Foutlook.office.com%2FSMTP.Send%20offline_access&a%20b=x%26y%3Dz%2B~_.-");
  EXPECT_EQ(FormEncode({{"client_secret", "Пароль\x01"}}), "client_secret=%D0%9F%D0%B0%D1%80%D0%BE%D0%BB%D1%8C%01");
  EXPECT_EQ(FormEncode({}), "");
}

TEST(OAuthRequestsTest, EachGrantSendsItsFields) {
  struct TCase {
    const char* What;
    TOAuthRequestStruct Request;
    const char* Form;
  };
  const TCase cases[] = {
      {"client credentials", ClientCredentialsRequest("https://t/token", "id", "sec", "s"),
       "grant_type=client_credentials&client_id=id&client_secret=sec&scope=s"},
      {"refresh, public client, grant's own scope", RefreshTokenRequest("https://t/token", "id", "", "rt", ""),
       "grant_type=refresh_token&client_id=id&refresh_token=rt"},
      {"refresh with secret and scope", RefreshTokenRequest("https://t/token", "id", "sec", "rt", "s"),
       "grant_type=refresh_token&client_id=id&client_secret=sec&refresh_token=rt&scope=s"},
      {"JWT bearer", JwtBearerRequest("https://t/token", "a.b.c"),
       "grant_type=urn%3Aietf%3Aparams%3Aoauth%3Agrant-type%3Ajwt-bearer&assertion=a.b.c"},
      {"device authorization", DeviceAuthorizationRequest("https://t/devicecode", "id", "s"), "client_id=id&scope=s"},
      {"device token", DeviceTokenRequest("https://t/token", "id", "", "dc"),
       "grant_type=urn%3Aietf%3Aparams%3Aoauth%3Agrant-type%3Adevice_code&client_id=id&device_code=dc"},
      {"device token, Yandex", DeviceTokenRequest("https://t/token", "id", "sec", "dc", TDeviceGrantStyle::dgYandex),
       "grant_type=device_code&client_id=id&client_secret=sec&code=dc"},
  };
  for (const TCase& c : cases) EXPECT_EQ(FormEncode(c.Request.Form), c.Form) << c.What;
}

TEST(OAuthRequestsTest, ReadsATokenAnswer) {
  const TOAuthTokenStruct token = ParseTokenResponse(
      200, R"({"token_type":"Bearer","expires_in":3599,"ext_expires_in":3599,"access_token":"eyJ0","refresh_token":"r2"})");
  EXPECT_EQ(token.AccessToken, "eyJ0");
  EXPECT_EQ(token.ExpiresIn, 3599s);
  EXPECT_EQ(token.RefreshToken, "r2");
  // Some providers write the lifetime as a string; a nonsense lifetime counts as none.
  EXPECT_EQ(ParseTokenResponse(200, R"({"access_token":"t","expires_in":"600"})").ExpiresIn, 600s);
  EXPECT_EQ(ParseTokenResponse(200, R"({"access_token":"t","expires_in":-5})").ExpiresIn, 0s);
  EXPECT_EQ(ParseTokenResponse(200, R"({"access_token":"t","expires_in":"12x"})").ExpiresIn, 0s);
  EXPECT_EQ(ParseTokenResponse(200, R"({"access_token":"t"})").RefreshToken, "");
}

TEST(OAuthRequestsTest, ExplainsEveryRefusalWithTheProvidersCode) {
  struct TCase {
    int Status;
    const char* Body;
    const char* Code;
    std::vector<std::string> Parts;  // each must be in the message
  };
  const TCase cases[] = {
      {400, R"({"error":"invalid_grant","error_description":"AADSTS70008: The refresh token has expired."})",
       "invalid_grant", {"истёк или отозван: войдите заново", "(invalid_grant, AADSTS70008)", "The refresh token has expired."}},
      {401, R"({"error":"invalid_client","error_description":"AADSTS7000215: Invalid client secret provided."})",
       "invalid_client", {"неверный секрет клиента", "AADSTS7000215"}},
      {401, R"({"error":"invalid_client","error_description":"AADSTS7000222: The provided client secret keys are expired."})",
       "invalid_client", {"срок действия секрета клиента истёк"}},
      {400, R"({"error":"unauthorized_client","error_description":"AADSTS700016: Application with identifier 'x' was not found"})",
       "unauthorized_client", {"не найдено в клиенте (tenant)"}},
      {400, R"({"error":"invalid_grant","error_description":"AADSTS65001: The user or administrator has not consented"})",
       "invalid_grant", {"нет согласия"}},
      {400, R"({"error":"invalid_grant"})", "invalid_grant", {"войдите заново", "(invalid_grant)"}},
      {400, R"({"error":"unauthorized_client"})", "unauthorized_client", {"не разрешён этот способ"}},
      {400, R"({"error":"invalid_scope"})", "invalid_scope", {"OAuthScope", "(invalid_scope)"}},
      {400, R"({"error":"some_new_code","error_description":"line1\r\nERROR forged"})", "some_new_code",
       {"(some_new_code). line1  ERROR forged"}},
      {502, "<html>Bad gateway</html>", "", {"(ответ HTTP 502)"}},
      {200, R"({"error":"invalid_client"})", "invalid_client", {"(invalid_client)"}},
      {200, R"({"token_type":"Bearer"})", "", {"не содержит токена"}},
      {200, "[1,2]", "", {"не содержит токена"}},
  };
  for (const TCase& c : cases) {
    try {
      ParseTokenResponse(c.Status, c.Body);
      ADD_FAILURE() << c.Body;
    } catch (const EOAuthError& e) {
      EXPECT_EQ(e.Code(), c.Code) << c.Body;
      EXPECT_EQ(e.ClassName(), "EOAuthError");
      for (const std::string& part : c.Parts) EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).find_first_of("\r\n"), std::string::npos) << e.what();
    }
  }
}

TEST(OAuthRequestsTest, SmtpRefusalsAfterAValidTokenAreExplained) {
  EXPECT_NE(ExplainSmtpOAuthRefusal("5.7.139 Authentication unsuccessful, SmtpClientAuthentication is disabled for the Tenant.")
                .find("SMTP AUTH отключён"),
            std::string::npos);
  EXPECT_NE(ExplainSmtpOAuthRefusal("5.7.3 Authentication unsuccessful [AM0PR02CA0001.eurprd02.prod.outlook.com]")
                .find("нет прав на этот почтовый ящик"),
            std::string::npos);
  EXPECT_EQ(ExplainSmtpOAuthRefusal("5.7.30 Something else"), "");
  EXPECT_EQ(ExplainSmtpOAuthRefusal("5.7.8 Username and Password not accepted"), "");
}

TEST(OAuthRequestsTest, DeviceAuthorizationAndPolls) {
  const TDeviceAuthorizationStruct device = ParseDeviceAuthorization(
      200, R"({"device_code":"dc","user_code":"ABCD-EFGH","verification_uri":"https://microsoft.com/devicelogin",)"
           R"("expires_in":900,"interval":5,"message":"To sign in..."})");
  EXPECT_EQ(device.DeviceCode, "dc");
  EXPECT_EQ(device.UserCode, "ABCD-EFGH");
  EXPECT_EQ(device.VerificationUri, "https://microsoft.com/devicelogin");
  EXPECT_EQ(device.ExpiresIn, 900s);
  EXPECT_EQ(device.Interval, 5s);
  // Yandex's answer: "verification_url", no interval given means five seconds; an interval
  // of zero would poll without pause.
  const auto yandex = ParseDeviceAuthorization(200, R"({"device_code":"d","user_code":"u","verification_url":"https://ya.ru/device"})");
  EXPECT_EQ(yandex.VerificationUri, "https://ya.ru/device");
  EXPECT_EQ(yandex.Interval, 5s);
  EXPECT_EQ(ParseDeviceAuthorization(200, R"({"device_code":"d","user_code":"u","verification_uri":"v","interval":0})").Interval, 1s);
  EXPECT_THROW(ParseDeviceAuthorization(200, R"({"device_code":"d","verification_uri":"v"})"), EOAuthError);
  EXPECT_THROW(ParseDeviceAuthorization(400, R"({"error":"invalid_client"})"), EOAuthError);

  EXPECT_EQ(ParseDevicePoll(400, R"({"error":"authorization_pending"})").State, TDevicePollState::dpPending);
  EXPECT_EQ(ParseDevicePoll(400, R"({"error":"slow_down"})").State, TDevicePollState::dpSlowDown);
  const TDevicePollStruct done = ParseDevicePoll(200, R"({"access_token":"a","refresh_token":"r","expires_in":60})");
  EXPECT_EQ(done.State, TDevicePollState::dpDone);
  EXPECT_EQ(done.Token.RefreshToken, "r");
  for (const char* error : {"expired_token", "access_denied", "invalid_grant"}) {
    try {
      ParseDevicePoll(400, std::string(R"({"error":")") + error + "\"}");
      ADD_FAILURE() << error;
    } catch (const EOAuthError& e) {
      EXPECT_EQ(e.Code(), error);
    }
  }
}

}  // namespace
}  // namespace eqd::oauth
