// The OAuth 2.0 rows of the "Безопасность" tab over the real e-mail driver: which rows
// each login and flow shows, the flows stored by their values and shown by their
// captions, and "Войти…" from the window's values to a refresh token in its field,
// signed in at the loopback identity provider.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "automation/errors.h"
#include "automation/scratch_folder.h"
#include "mail/driver.h"
#include "settings_ui/oauth_sign_in.h"
#include "settings_ui/recording_security_view.h"
#include "settings_ui/recording_views.h"
#include "support/identity_provider_fixture.h"

namespace eqd::test {
namespace {

using namespace std::chrono_literals;

class OAuthRowsTest : public ::testing::Test {
 protected:
  OAuthRowsTest() {
    page.SetView(&smtp);
    page.SetSecurityView(&security);
  }
  void Choose(TSecurityChoice choice, const std::string& text) {
    ASSERT_TRUE(security.Choose(choice, text)) << text;
    page.SecurityChoiceChanged();
  }
  std::vector<TOAuthField> ShownFields() const {
    std::vector<TOAuthField> shown;
    for (std::size_t f = 0; f < oaCount; ++f)
      if (security.Rows.Fields[f]) shown.push_back(static_cast<TOAuthField>(f));
    return shown;
  }

  eqd::testing::ScratchFolder scratch;
  TDeviceOwner<TDriver> driver = CreateDevice<TDriver>();
  TfrmMainSettings page{*driver};
  TRecordingWindowView smtp;
  TRecordingSecurityView security;
};

TEST_F(OAuthRowsTest, TheRowsFollowTheLoginAndTheFlow) {
  page.OnReadSettings();
  EXPECT_EQ(security.Rows, TOAuthRowsStruct{});  // "Авто": no OAuth rows
  EXPECT_EQ(security.Items[scOAuthFlow],
            (std::vector<std::string>{"Не используется", "Приложение Microsoft 365", "Сервисный аккаунт Google",
                                      "Токен обновления", "Токен от учётной системы"}));
  Choose(scAuthMethod, "OAuth 2.0");
  EXPECT_TRUE(security.Rows.Flow);
  EXPECT_TRUE(ShownFields().empty());
  struct TCase {
    const char* Flow;
    std::vector<TOAuthField> Fields;
    bool SignIn;
  } cases[] = {
      {"Приложение Microsoft 365", {oaTenant, oaClientId, oaClientSecret, oaTokenUrl, oaScope}, false},
      {"Сервисный аккаунт Google", {oaServiceAccountKey, oaTokenUrl, oaScope}, false},
      {"Токен обновления",
       {oaTenant, oaClientId, oaClientSecret, oaRefreshToken, oaTokenUrl, oaDeviceUrl, oaScope}, true},
      {"Токен от учётной системы", {oaAccessToken}, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Flow);
    Choose(scOAuthFlow, c.Flow);
    EXPECT_EQ(ShownFields(), c.Fields);
    EXPECT_EQ(security.Rows.SignIn, c.SignIn);
  }
  Choose(scAuthMethod, "PLAIN");
  EXPECT_EQ(security.Rows, TOAuthRowsStruct{});
}

TEST_F(OAuthRowsTest, FlowsAreStoredByValueAndEveryFieldKept) {
  driver->SetSettingValue("SmtpAuthMethod", Variant("OAuth 2.0"));
  driver->SetSettingValue("OAuthFlow", Variant("ms365-app"));
  driver->SetSettingValue("OAuthTenant", Variant("contoso"));
  driver->SetSettingValue("OAuthAccessToken", Variant("host-token"));
  page.OnReadSettings();
  EXPECT_EQ(security.Shown(scOAuthFlow), "Приложение Microsoft 365");
  EXPECT_EQ(security.OAuth[oaTenant], "contoso");
  EXPECT_EQ(security.OAuth[oaAccessToken], "host-token");  // hidden for this flow, yet read
  Choose(scOAuthFlow, "Токен обновления");
  security.OAuth[oaRefreshToken] = "rt-1";
  page.OnSaveSettings();
  EXPECT_EQ(driver->GetSettingValueStr("OAuthFlow"), "refresh-token");
  EXPECT_EQ(driver->GetSettingValueStr("OAuthRefreshToken"), "rt-1");
  EXPECT_EQ(driver->GetSettingValueStr("OAuthTenant"), "contoso");
  EXPECT_EQ(driver->GetSettingValueStr("OAuthAccessToken"), "host-token");

  // A flow a host wrote that the driver does not know stays as it was; no fields show.
  driver->SetSettingValue("OAuthFlow", Variant("password"));
  page.OnReadSettings();
  EXPECT_EQ(security.Shown(scOAuthFlow), "password");
  EXPECT_TRUE(security.Rows.Flow);
  EXPECT_TRUE(ShownFields().empty());
  page.OnSaveSettings();
  EXPECT_EQ(driver->GetSettingValueStr("OAuthFlow"), "password");
}

TEST_F(OAuthRowsTest, SignInSettingsAreTheWindowsOwnAndOnlyForTheRefreshFlow) {
  page.OnReadSettings();
  Choose(scAuthMethod, "OAuth 2.0");
  Choose(scOAuthFlow, "Приложение Microsoft 365");
  EXPECT_THROW(page.SignInSettings(), EDriverError);
  Choose(scOAuthFlow, "Токен обновления");
  smtp.Fields[mfSmtpServerName] = " smtp.office365.com ";
  smtp.Fields[mfUserEmail] = "Робот <robot@example.com>";
  security.OAuth[oaClientId] = "app-id ";
  security.OAuth[oaTenant] = "contoso";
  const oauth::TOAuthSettingsStruct s = page.SignInSettings();  // nothing saved yet
  EXPECT_EQ(s.Flow, oauth::TOAuthFlow::ofRefreshToken);
  EXPECT_EQ(s.ClientId, "app-id");
  EXPECT_EQ(s.Tenant, "contoso");
  EXPECT_EQ(s.SmtpServer, "smtp.office365.com");
  EXPECT_EQ(s.Mailbox, "robot@example.com");
  EXPECT_EQ(driver->GetSettingValueStr("OAuthClientId"), "");
}

class OAuthSignInTest : public OAuthRowsTest {
 protected:
  oauth::TOAuthSettingsStruct SignInSettings() {
    page.OnReadSettings();
    Choose(scAuthMethod, "OAuth 2.0");
    Choose(scOAuthFlow, "Токен обновления");
    smtp.Fields[mfSmtpServerName] = "127.0.0.1";
    security.OAuth[oaClientId] = "app-id";
    security.OAuth[oaTokenUrl] = provider.Url("/token");
    security.OAuth[oaDeviceUrl] = provider.Url("/devicecode");
    return page.SignInSettings();
  }

  TIdentityProviderProcess provider;
  TTrustedCa trust{provider.CaFile()};
};

// As the window runs it: the sign-in on a worker thread, the code handed over, approved
// by the person (the test, at the provider), the refresh token into the field.
TEST_F(OAuthSignInTest, AnApprovedCodeFillsTheRefreshTokenSavedWithOk) {
  TOAuthSignIn signIn(SignInSettings());
  std::string code, message;
  std::optional<std::string> token;
  std::thread worker([&] {
    token = signIn.Run(
        [&](const oauth::TDeviceAuthorizationStruct& c) {
          code = c.UserCode;
          EXPECT_EQ(provider.Control("/control/approve?user_code=" + c.UserCode).Status, 200);
        },
        message);
  });
  worker.join();
  ASSERT_TRUE(token.has_value()) << message;
  EXPECT_FALSE(code.empty());
  page.SignedIn(*token);
  EXPECT_EQ(security.OAuth[oaRefreshToken], *token);
  EXPECT_EQ(driver->GetSettingValueStr("OAuthRefreshToken"), "");  // not before OK
  page.OnSaveSettings();
  EXPECT_EQ(driver->GetSettingValueStr("OAuthRefreshToken"), *token);
}

TEST_F(OAuthSignInTest, CancelEndsTheWaitAndARefusalIsExplained) {
  {
    TOAuthSignIn signIn(SignInSettings());
    std::atomic<bool> codeShown{false};
    std::string message = "unchanged";
    std::optional<std::string> token;
    std::thread worker([&] { token = signIn.Run([&](const auto&) { codeShown = true; }, message); });
    while (!codeShown) std::this_thread::yield();
    signIn.Cancel();  // the person never approves: the poll waits until now
    worker.join();
    EXPECT_FALSE(token.has_value());
    EXPECT_EQ(message, "");
  }
  TOAuthSignIn signIn(SignInSettings());
  std::string message;
  const auto token = signIn.Run(
      [&](const oauth::TDeviceAuthorizationStruct& c) { provider.Control("/control/deny?user_code=" + c.UserCode); },
      message);
  EXPECT_FALSE(token.has_value());
  EXPECT_EQ(message.rfind("Вход не выполнен: ", 0), 0u) << message;
  EXPECT_NE(message.find("access_denied"), std::string::npos) << message;
}

}  // namespace
}  // namespace eqd::test
