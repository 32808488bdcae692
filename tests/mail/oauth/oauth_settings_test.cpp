#include <gtest/gtest.h>

#include "mail/oauth/oauth_provider.h"
#include "mail/oauth/oauth_settings.h"

namespace eqd::oauth {
namespace {

TEST(OAuthSettingsTest, FlowTextsAreTheStoredValues) {
  for (const char* text : {"", "ms365-app", "google-service-account", "refresh-token", "access-token"}) {
    const auto flow = OAuthFlowFromText(text);
    ASSERT_TRUE(flow) << text;
    EXPECT_EQ(OAuthFlowText(*flow), text);
  }
  EXPECT_FALSE(OAuthFlowFromText("MS365-App"));
  EXPECT_FALSE(OAuthFlowFromText("password"));
}

TEST(OAuthSettingsTest, TheProviderIsKnownByTheSmtpServersDomain) {
  struct TCase {
    const char* Host;
    TOAuthProvider Provider;
  };
  const TCase cases[] = {
      {"smtp.office365.com", TOAuthProvider::opMicrosoft}, {"SMTP-MAIL.OUTLOOK.COM.", TOAuthProvider::opMicrosoft},
      {"smtp.gmail.com", TOAuthProvider::opGoogle},        {"smtp-relay.gmail.com", TOAuthProvider::opGoogle},
      {"smtp.yandex.ru", TOAuthProvider::opYandex},        {"smtp.yandex.com", TOAuthProvider::opYandex},
      {"smtp.mail.ru", TOAuthProvider::opMailRu},          {"mail.ru", TOAuthProvider::opMailRu},
      {"notmail.ru", TOAuthProvider::opUnknown},           {"gmail.com.evil.test", TOAuthProvider::opUnknown},
      {"127.0.0.1", TOAuthProvider::opUnknown},            {"", TOAuthProvider::opUnknown},
  };
  for (const TCase& c : cases) EXPECT_EQ(ProviderOfSmtpServer(c.Host), c.Provider) << c.Host;
}

TEST(OAuthSettingsTest, EndpointsFollowTheFlowTheProviderAndTheSettings) {
  struct TCase {
    const char* What;
    TOAuthSettingsStruct Settings;
    const char* TokenUrl;
    const char* DeviceUrl;
    const char* Scope;
  };
  const auto flow = [](TOAuthFlow f, const char* server, const char* tenant = "") {
    TOAuthSettingsStruct s;
    s.Flow = f;
    s.SmtpServer = server;
    s.Tenant = tenant;
    return s;
  };
  TOAuthSettingsStruct own = flow(TOAuthFlow::ofRefreshToken, "smtp.yandex.ru");
  own.TokenUrl = "https://idp.test/token";
  own.DeviceUrl = "https://idp.test/device";
  own.Scope = "mail:smtp";
  const TCase cases[] = {
      {"app of a tenant", flow(TOAuthFlow::ofMs365App, "smtp.office365.com", "contoso.onmicrosoft.com"),
       "https://login.microsoftonline.com/contoso.onmicrosoft.com/oauth2/v2.0/token", "",
       "https://outlook.office365.com/.default"},
      {"a tenant cannot change the path", flow(TOAuthFlow::ofMs365App, "", "../x/?y#"),
       "https://login.microsoftonline.com/%2E%2E%2Fx%2F%3Fy%23/oauth2/v2.0/token", "", "https://outlook.office365.com/.default"},
      {"service account", flow(TOAuthFlow::ofGoogleServiceAccount, "smtp.gmail.com"), "https://oauth2.googleapis.com/token",
       "", "https://mail.google.com/"},
      {"a person at Microsoft", flow(TOAuthFlow::ofRefreshToken, "smtp.office365.com"),
       "https://login.microsoftonline.com/common/oauth2/v2.0/token",
       "https://login.microsoftonline.com/common/oauth2/v2.0/devicecode",
       "https://outlook.office.com/SMTP.Send offline_access"},
      {"a person at Yandex", flow(TOAuthFlow::ofRefreshToken, "smtp.yandex.ru"), "https://oauth.yandex.ru/token",
       "https://oauth.yandex.ru/device/code", ""},
      {"a person at Mail.ru", flow(TOAuthFlow::ofRefreshToken, "smtp.mail.ru"), "https://oauth.mail.ru/token", "", ""},
      {"a person at Google", flow(TOAuthFlow::ofRefreshToken, "smtp.gmail.com"), "https://oauth2.googleapis.com/token", "", ""},
      {"an unknown server", flow(TOAuthFlow::ofRefreshToken, "mail.example.com"), "", "", ""},
      {"settings win", own, "https://idp.test/token", "https://idp.test/device", "mail:smtp"},
  };
  for (const TCase& c : cases) {
    const TOAuthEndpointsStruct e = OAuthEndpoints(c.Settings);
    EXPECT_EQ(e.TokenUrl, c.TokenUrl) << c.What;
    EXPECT_EQ(e.DeviceUrl, c.DeviceUrl) << c.What;
    EXPECT_EQ(e.Scope, c.Scope) << c.What;
  }
  EXPECT_EQ(OAuthEndpoints(flow(TOAuthFlow::ofRefreshToken, "smtp.yandex.ru")).DeviceStyle, TDeviceGrantStyle::dgYandex);
}

TEST(OAuthSettingsTest, EachFlowNamesWhatIsMissing) {
  const auto complete = [](TOAuthFlow flow) {
    TOAuthSettingsStruct s;
    s.Flow = flow;
    s.Tenant = "contoso";
    s.ClientId = "id";
    s.ClientSecret = "secret";
    s.RefreshToken = "rt";
    s.ServiceAccountKey = "/etc/key.json";
    s.AccessToken = "at";
    s.SmtpServer = "smtp.office365.com";
    s.Mailbox = "robot@example.com";
    return s;
  };
  struct TCase {
    TOAuthFlow Flow;
    std::string TOAuthSettingsStruct::*Field;  // emptied
    const char* Named;                         // in the message; null: nothing missing
  };
  const TCase cases[] = {
      {TOAuthFlow::ofMs365App, &TOAuthSettingsStruct::Tenant, "OAuthTenant"},
      {TOAuthFlow::ofMs365App, &TOAuthSettingsStruct::ClientId, "OAuthClientId"},
      {TOAuthFlow::ofMs365App, &TOAuthSettingsStruct::ClientSecret, "OAuthClientSecret"},
      {TOAuthFlow::ofMs365App, &TOAuthSettingsStruct::Mailbox, "SmtpServerUser"},
      {TOAuthFlow::ofMs365App, &TOAuthSettingsStruct::RefreshToken, nullptr},
      {TOAuthFlow::ofGoogleServiceAccount, &TOAuthSettingsStruct::ServiceAccountKey, "OAuthServiceAccountKey"},
      {TOAuthFlow::ofGoogleServiceAccount, &TOAuthSettingsStruct::ClientId, nullptr},
      {TOAuthFlow::ofRefreshToken, &TOAuthSettingsStruct::ClientId, "OAuthClientId"},
      {TOAuthFlow::ofRefreshToken, &TOAuthSettingsStruct::RefreshToken, "OAuthRefreshToken"},
      {TOAuthFlow::ofRefreshToken, &TOAuthSettingsStruct::SmtpServer, "OAuthTokenUrl"},
      {TOAuthFlow::ofRefreshToken, &TOAuthSettingsStruct::ClientSecret, nullptr},
      {TOAuthFlow::ofAccessToken, &TOAuthSettingsStruct::AccessToken, "OAuthAccessToken"},
      {TOAuthFlow::ofAccessToken, &TOAuthSettingsStruct::Mailbox, "SmtpServerUser"},
      {TOAuthFlow::ofNone, &TOAuthSettingsStruct::Tenant, "OAuthFlow"},
  };
  for (const TCase& c : cases) {
    TOAuthSettingsStruct s = complete(c.Flow);
    s.*(c.Field) = "";
    const std::string problem = CheckOAuthSettings(s);
    if (c.Named) {
      EXPECT_NE(problem.find(c.Named), std::string::npos) << OAuthFlowText(c.Flow) << ": " << problem;
    } else {
      EXPECT_EQ(problem, "") << OAuthFlowText(c.Flow);
    }
  }
  TOAuthSettingsStruct plain = complete(TOAuthFlow::ofMs365App);
  plain.TokenUrl = "http://idp.test/token";
  EXPECT_NE(CheckOAuthSettings(plain).find("https://"), std::string::npos);
}

}  // namespace
}  // namespace eqd::oauth
