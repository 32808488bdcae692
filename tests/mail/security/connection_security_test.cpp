// The values of the security settings as stored texts, and pins as people copy them.
#include <gtest/gtest.h>

#include "automation/errors.h"
#include "mail/security/connection_report.h"
#include "mail/security/connection_security.h"
#include "mail/security/mail_services.h"

namespace eqd {
namespace {

TEST(ConnectionSecurity, PinsReadInEveryCommonFormAndNothingElse) {
  const std::string hex = "8a1b2c3d4e5f60718293a4b5c6d7e8f90112233445566778899aabbccddeeff0";
  struct TCase {
    const char* name;
    std::string text;
    bool valid;
  } cases[] = {
      {"hex", hex, true},
      {"upper-case hex with colons, as certificate viewers show it",
       "8A:1B:2C:3D:4E:5F:60:71:82:93:A4:B5:C6:D7:E8:F9:01:12:23:34:45:56:67:78:89:9A:AB:BC:CD:DE:EF:F0", true},
      {"hex in groups with blanks around", "  8a1b 2c3d 4e5f 6071 8293 a4b5 c6d7 e8f9 0112 2334 4556 6778 899a abbc "
                                           "cdde eff0  ", true},
      {"Base64", "ihssPU5fYHGCk6S1xtfo+QESIzRFVmd4iZqrvM3e7/A=", true},
      {"Base64 without padding", "ihssPU5fYHGCk6S1xtfo+QESIzRFVmd4iZqrvM3e7/A", true},
      {"Base64 with the sha256// prefix", "sha256//ihssPU5fYHGCk6S1xtfo+QESIzRFVmd4iZqrvM3e7/A=", true},
      {"URL-safe Base64", "ihssPU5fYHGCk6S1xtfo-QESIzRFVmd4iZqrvM3e7_A=", true},
      {"hex one digit short", hex.substr(1), false},
      {"hex one digit long", hex + "0", false},
      {"SHA-1 length", hex.substr(0, 40), false},
      {"Base64 whose spare bits are set", "ihssPU5fYHGCk6S1xtfo+QESIzRFVmd4iZqrvM3e7/B=", false},
      {"Base64 with a stray character", "ihssPU5fYHGCk6S1xtfo+QESIzRFVmd4iZqrvM3e7*A=", false},
      {"a word", "сертификат", false},
  };
  TKeySha256 expected{};
  for (std::size_t i = 0; i < expected.size(); ++i)
    expected[i] = static_cast<std::uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.valid) {
      EXPECT_EQ(ParseCertificatePin(c.text), expected);
    } else {
      EXPECT_THROW(ParseCertificatePin(c.text), EDriverError);
    }
  }
  EXPECT_EQ(ParseCertificatePin("   "), std::nullopt);
  EXPECT_EQ(KeySha256Hex(expected), hex);
}

TEST(ConnectionSecurity, TheStoredTextsAreTheWordsTheWindowShows) {
  for (const TSmtpSecurityOption& option : SmtpSecurityOptions()) {
    EXPECT_EQ(SmtpSecurityFromText(option.Text), option.Value) << option.Text;
    EXPECT_STREQ(SmtpSecurityText(option.Value), option.Text);
  }
  for (const TSmtpAuthMethodOption& option : SmtpAuthMethods())
    EXPECT_EQ(SmtpAuthMethodFromText(option.Text), option.Value) << option.Text;
  EXPECT_EQ(SmtpSecurityOptions().front().Value, TSmtpSecurity::ssAuto);
  EXPECT_EQ(SmtpAuthMethods().front().Value, TSmtpAuthMethod::amAuto);
  EXPECT_EQ(SmtpSecurityFromText("ssl/tls"), TSmtpSecurity::ssImplicitTls);
  EXPECT_EQ(SmtpSecurityFromText("TLS"), std::nullopt);
  EXPECT_EQ(SmtpAuthMethodFromText("Login"), TSmtpAuthMethod::amLogin);
  EXPECT_EQ(SmtpAuthMethodFromText("XOAUTH2"), std::nullopt);
}

TEST(MailServices, EachServiceIsFoundByItsServersOnly) {
  struct TCase {
    const char* host;
    const char* service;  // nullptr: none
  } cases[] = {
      {"smtp.gmail.com", "Gmail"},
      {"SMTP.GMAIL.COM.", "Gmail"},
      {"smtp.yandex.ru", "Яндекс Почта"},
      {"smtp.office365.com", "Microsoft 365 / Outlook.com"},
      {"smtp-mail.outlook.com", "Microsoft 365 / Outlook.com"},
      {"smtp.mail.ru", "Почта Mail.ru"},
      {"smtp.rambler.ru", "Рамблер/почта"},
      {"notgmail.com", nullptr},
      {"gmail.com.example.org", nullptr},
      {"mail.example.ru", nullptr},
  };
  for (const TCase& c : cases) {
    const TMailServiceStruct* s = MailServiceOfHost(c.host);
    if (c.service == nullptr) {
      EXPECT_EQ(s, nullptr) << c.host;
    } else {
      ASSERT_NE(s, nullptr) << c.host;
      EXPECT_STREQ(s->Name, c.service);
    }
  }
  // Every preset's own server is found as its own, and its port suits its mode.
  for (const TMailServiceStruct& s : MailServices()) {
    EXPECT_EQ(MailServiceOfHost(s.Host), &s) << s.Name;
    EXPECT_EQ(s.Port == 465, s.Security == TSmtpSecurity::ssImplicitTls) << s.Name;
  }
}

TEST(ConnectionReport, SaysWhatTheConnectionTestProved) {
  TConnectionReportStruct r;
  for (std::size_t i = 0; i < r.KeySha256.size(); ++i) r.KeySha256[i] = static_cast<std::uint8_t>(0xa0 + i % 16);
  const std::string key = "a0a1a2a3a4a5a6a7a8a9aaabacadaeafa0a1a2a3a4a5a6a7a8a9aaabacadaeaf";
  struct TCase {
    const char* name;
    bool tls;
    TCertificateCheck check;
    const char* method;
    std::string text;
  } cases[] = {
      {"plain text, no login", false, TCertificateCheck::ccNone, "",
       "Соединение: без шифрования\r\nАвторизация: не выполнялась"},
      {"TLS, nothing checked: the key to pin", true, TCertificateCheck::ccNone, "LOGIN",
       "Соединение: TLS 1.3, TLS_AES_256_GCM_SHA384\r\nСертификат не проверялся; SHA-256 его ключа (SPKI) для "
       "настройки «Отпечаток ключа»: " + key + "\r\nАвторизация: LOGIN"},
      {"verified", true, TCertificateCheck::ccVerified, "PLAIN",
       "Соединение: TLS 1.3, TLS_AES_256_GCM_SHA384\r\nСертификат проверен: CN=localhost,O=Eq Test, выдан "
       "CN=Eq Test Root CA,O=Eq Test\r\nАвторизация: PLAIN"},
      {"pinned", true, TCertificateCheck::ccPinned, "PLAIN",
       "Соединение: TLS 1.3, TLS_AES_256_GCM_SHA384\r\nКлюч сертификата совпал с отпечатком: " + key +
           "\r\nАвторизация: PLAIN"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    r.Tls = c.tls;
    r.TlsVersion = "TLS 1.3";
    r.Cipher = "TLS_AES_256_GCM_SHA384";
    r.Check = c.check;
    r.Subject = "CN=localhost,O=Eq Test";
    r.Issuer = "CN=Eq Test Root CA,O=Eq Test";
    r.AuthMethod = c.method;
    EXPECT_EQ(ConnectionReportText(r), c.text);
  }
}

}  // namespace
}  // namespace eqd
