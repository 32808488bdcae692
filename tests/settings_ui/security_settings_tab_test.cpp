// The SMTP page's "Безопасность" tab over the real e-mail driver: reading, saving, values
// a host stored that are none of the fixed ones, and the mail services list.
#include <gtest/gtest.h>

#include "automation/scratch_folder.h"
#include "automation/variant_convert.h"
#include "mail/driver.h"
#include "settings_ui/recording_security_view.h"
#include "settings_ui/recording_views.h"

namespace eqd::test {
namespace {

class SecuritySettingsTabTest : public ::testing::Test {
 protected:
  SecuritySettingsTabTest() {
    page.SetView(&smtp);
    page.SetSecurityView(&security);
  }

  eqd::testing::ScratchFolder scratch;
  TDeviceOwner<TDriver> driver = CreateDevice<TDriver>();
  TfrmMainSettings page{*driver};
  TRecordingWindowView smtp;
  TRecordingSecurityView security;
};

TEST_F(SecuritySettingsTabTest, ShowsTheDefaultsAndSavesWhatWasChosen) {
  page.OnReadSettings();
  EXPECT_EQ(security.Items[scSecurity], (std::vector<std::string>{"Авто", "STARTTLS", "SSL/TLS", "Без шифрования"}));
  EXPECT_EQ(security.Items[scAuthMethod], (std::vector<std::string>{"Авто", "LOGIN", "PLAIN", "Без авторизации", "OAuth 2.0"}));
  EXPECT_EQ(security.Shown(scSecurity), "Авто");
  EXPECT_EQ(security.Shown(scAuthMethod), "Авто");
  EXPECT_FALSE(security.Verify);
  EXPECT_EQ(security.Pin, "");

  ASSERT_TRUE(security.Choose(scSecurity, "SSL/TLS"));
  ASSERT_TRUE(security.Choose(scAuthMethod, "PLAIN"));
  security.Verify = true;
  security.Pin = "sha256//ihssPU5fYHGCk6S1xtfo+QESIzRFVmd4iZqrvM3e7/A=";
  page.OnSaveSettings();
  EXPECT_EQ(driver->GetSettingValueStr("SmtpSecurity"), "SSL/TLS");
  EXPECT_EQ(driver->GetSettingValueStr("SmtpAuthMethod"), "PLAIN");
  EXPECT_TRUE(SameValue(driver->GetSettingValue("SmtpVerifyCertificate"), Variant(true)));  // a Boolean, as declared
  EXPECT_EQ(driver->GetSettingValueStr("SmtpCertificatePin"), security.Pin);
  // The SMTP tab's fields are untouched by all this.
  EXPECT_EQ(driver->GetSettingValueStr("SmtpServerName"), "smtp.yandex.ru");
}

// What the host stored is shown as near to its meaning as possible and never lost by
// reading and saving: a known value in another spelling shows as the value, anything
// else stands after the fixed values and goes back as it was.
TEST_F(SecuritySettingsTabTest, StoredTextsOutsideTheListSurviveReadingAndSaving) {
  struct TCase {
    const char* stored;
    const char* shown;
    const char* saved;
    std::size_t items;
  } cases[] = {
      {" starttls ", "STARTTLS", "STARTTLS", 4},
      {"", "Авто", "Авто", 4},
      {"TLS", "TLS", "TLS", 5},
      {"авто", "авто", "авто", 5},  // Cyrillic letters are compared exactly
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.stored);
    driver->SetSettingValue("SmtpSecurity", Variant(c.stored));
    driver->SetSettingValue("SmtpVerifyCertificate", Variant("да"));
    page.OnReadSettings();
    EXPECT_EQ(security.Shown(scSecurity), c.shown);
    EXPECT_EQ(security.Items[scSecurity].size(), c.items);
    EXPECT_FALSE(security.Verify);  // a value that is no Boolean shows unchecked
    page.OnSaveSettings();
    EXPECT_EQ(driver->GetSettingValueStr("SmtpSecurity"), c.saved);
  }
}

TEST_F(SecuritySettingsTabTest, AMailServiceFillsServerPortSecurityAndLoginOnly) {
  page.OnReadSettings();
  smtp.Fields[mfSmtpServerUser] = "robot@gmail.com";
  const std::vector<std::string> items = MailServiceItems();
  ASSERT_EQ(items.size(), 6u);
  EXPECT_EQ(items.front(), "(вручную)");
  struct TCase {
    const char* service;
    const char* host;
    const char* port;
    const char* security;
  } cases[] = {
      {"Яндекс Почта", "smtp.yandex.ru", "465", "SSL/TLS"},
      {"Почта Mail.ru", "smtp.mail.ru", "465", "SSL/TLS"},
      {"Gmail", "smtp.gmail.com", "587", "STARTTLS"},
      {"Microsoft 365 / Outlook.com", "smtp.office365.com", "587", "STARTTLS"},
      {"Рамблер/почта", "smtp.rambler.ru", "465", "SSL/TLS"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.service);
    const auto at = std::find(items.begin(), items.end(), c.service);
    ASSERT_NE(at, items.end());
    page.MailServiceChosen(static_cast<std::size_t>(at - items.begin()));
    EXPECT_EQ(smtp.Fields[mfSmtpServerName], c.host);
    EXPECT_EQ(smtp.Fields[mfSmtpServerPort], c.port);
    EXPECT_EQ(security.Shown(scSecurity), c.security);
    EXPECT_EQ(security.Shown(scAuthMethod), "LOGIN");
    EXPECT_EQ(security.Note.rfind(std::string(c.service) + ": ", 0), 0u) << security.Note;
    EXPECT_EQ(smtp.Fields[mfSmtpServerUser], "robot@gmail.com");
  }
  // "(вручную)" changes nothing; the user may change everything after a service.
  page.MailServiceChosen(0);
  EXPECT_EQ(smtp.Fields[mfSmtpServerName], "smtp.rambler.ru");
  ASSERT_TRUE(security.Choose(scSecurity, "STARTTLS"));
  smtp.Fields[mfSmtpServerPort] = "587";
  page.OnSaveSettings();
  EXPECT_EQ(driver->GetSettingValueStr("SmtpServerName"), "smtp.rambler.ru");
  EXPECT_EQ(driver->GetSettingValueStr("SmtpServerPort"), "587");
  EXPECT_EQ(driver->GetSettingValueStr("SmtpSecurity"), "STARTTLS");
  EXPECT_EQ(driver->GetSettingValueStr("SmtpAuthMethod"), "LOGIN");
}

}  // namespace
}  // namespace eqd::test
