// TDevice against a real SMTP server on loopback (aiosmtpd with STARTTLS required and
// AUTH LOGIN), each received message read back with Python's standard e-mail parser.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "automation/errors.h"
#include "mail/event_log.h"
#include "mail/smtp/device_sender.h"
#include "mail/smtp/smtp_texts.h"
#include "support/smtp_server_fixture.h"
#include "support/temp_dir.h"

namespace eqd {
namespace {

using test::TSmtpServerOptions;
using test::TSmtpServerProcess;
using test::TTempDir;

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

std::string WithoutCR(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

class RealServer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new TSmtpServerProcess(); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  TDevice Device() const {
    TDevice device;
    device.FSmtpServerName = "localhost";
    device.FSmtpServerPort = server_->Port();
    device.FSmtpServerUser = TSmtpServerOptions{}.User;
    device.FSmtpServerPassword = TSmtpServerOptions{}.Password;
    device.FUserEmail = "Отдел продаж <sales@example.test>";
    return device;
  }

  static inline TSmtpServerProcess* server_ = nullptr;
  TTempDir files_{"eqd-real-server-"};
};

TEST_F(RealServer, DeliversTheWholeMessageOverStartTlsWithLogin) {
  const std::string logo = files_.Write("logo.png", RandomBytes(3000, 1));
  const std::string report = files_.Write("отчёт за март.pdf", RandomBytes(200 * 1024 + 7, 2));
  const std::string table = files_.Write("data.csv", "a;b\r\n.1;2\r\n");
  const std::string subject = "Отчёт за март: итоги (final)";
  const std::string body =
      "<html><body>\n<p>Здравствуйте, коллеги!</p>\n.a line that starts with a dot\n"
      "<img src=\"cid:logo@eqd\">\n</body></html>";
  const int before = server_->MessageCount();

  TDevice device = Device();
  device.SendMail("Иван Петров <ivan@example.test>; second@example.test;", "cc@example.test",
                  "hidden@example.test", subject, body,
                  {{logo, "image/png", "<logo@eqd>"}, {report, "", ""}, {table, "text/plain", ""}});

  const auto eml = server_->WaitForMessage(before + 1);
  const nlohmann::json envelope = server_->Envelope(before + 1);
  EXPECT_EQ(envelope["mail_from"], "sales@example.test");
  EXPECT_EQ(envelope["rcpt_tos"], nlohmann::json::array({"ivan@example.test", "second@example.test",
                                                          "cc@example.test", "hidden@example.test"}));
  EXPECT_EQ(envelope["tls_version"], "TLSv1.2");  // the highest both sides allow
  EXPECT_EQ(envelope["sni"], "localhost");
  EXPECT_EQ(envelope["auth_user"], "mailer");

  const nlohmann::json m = test::SummarizeMessage(eml, files_.Path() / "extracted");
  EXPECT_EQ(m["defects"], nlohmann::json::array());
  EXPECT_EQ(m["structure"],
            "multipart/mixed[multipart/related[multipart/alternative[text/html], image/png], "
            "application/pdf, text/csv]");
  EXPECT_EQ(m["subject"], subject);
  EXPECT_EQ(m["from"], "Отдел продаж <sales@example.test>");
  EXPECT_EQ(m["to"], "Иван Петров <ivan@example.test>, second@example.test");
  EXPECT_EQ(m["cc"], "cc@example.test");
  EXPECT_EQ(m["bcc"], "");
  const auto& names = m["header_names"];
  EXPECT_EQ(std::find(names.begin(), names.end(), "Bcc"), names.end());
  EXPECT_EQ(m["html_charset"], "windows-1251");
  EXPECT_EQ(WithoutCR(m["html"].get<std::string>()), WithoutCR(body));

  const auto& parts = m["attachments"];
  ASSERT_EQ(parts.size(), 3u);
  const std::vector<std::string> originals = {logo, report, table};
  const std::vector<std::string> names3 = {"logo.png", "отчёт за март.pdf", "data.csv"};
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(names3[i]);
    EXPECT_EQ(parts[i]["filename"], names3[i]);
    EXPECT_EQ(test::ReadFileBytes(parts[i]["file"].get<std::string>()), test::ReadFileBytes(originals[i]));
  }
  EXPECT_EQ(parts[0]["content_id"], "<logo@eqd>");
  EXPECT_EQ(parts[1]["content_id"], nullptr);
  EXPECT_EQ(parts[2]["content_type"], "text/csv");  // the extension decides, not the type given
}

TEST_F(RealServer, WrongPasswordFailsWithTheServersText) {
  TDevice device = Device();
  device.FSmtpServerPassword = "wrong";
  const int before = server_->MessageCount();
  try {
    device.SendMail("ivan@example.test", "", "", "s", "b", {});
    FAIL() << "the send must fail";
  } catch (const EDriverError& e) {
    EXPECT_TRUE(std::string(e.what()).ends_with("Ответ сервера: 5.7.8 Authentication credentials invalid")) << e.what();
    EXPECT_EQ(e.ClassName(), "Exception");
  }
  EXPECT_EQ(server_->MessageCount(), before);
}

TEST_F(RealServer, ConnectionTestLogsInWithoutSending) {
  const int before = server_->MessageCount();
  TDevice device = Device();
  EXPECT_NO_THROW(device.TestConnection());
  device.FSmtpServerPassword = "wrong";
  try {
    device.TestConnection();
    ADD_FAILURE() << "a wrong password must fail the test";
  } catch (const EDriverError& e) {
    EXPECT_TRUE(std::string(e.what()).ends_with("Ответ сервера: 5.7.8 Authentication credentials invalid")) << e.what();
  }
  EXPECT_EQ(server_->MessageCount(), before);
}

TEST(RealServerPipelining, AServerThatAnnouncesPipeliningGetsTheSameMessages) {
  TSmtpServerOptions options;
  options.Pipelining = true;
  options.RefuseFirst = 1;
  TSmtpServerProcess server(options);
  TDevice device;
  device.FSmtpServerName = "localhost";
  device.FSmtpServerPort = server.Port();
  device.FSmtpServerUser = options.User;
  device.FSmtpServerPassword = options.Password;
  device.FUserEmail = "sales@example.test";
  // The first message is refused after its final dot, the second delivered.
  try {
    device.SendMail("a@example.test; b@example.test;", "c@example.test", "d@example.test", "Pipelined", "", {});
    ADD_FAILURE() << "the first send must be refused";
  } catch (const EDriverError& e) {
    EXPECT_TRUE(std::string(e.what()).ends_with("Ответ сервера: 4.3.0 Try again later")) << e.what();
  }
  device.SendMail("a@example.test; b@example.test;", "c@example.test", "d@example.test", "Pipelined", "", {});
  server.WaitForMessage(1);
  const nlohmann::json envelope = server.Envelope(1);
  EXPECT_EQ(envelope["mail_from"], "sales@example.test");
  EXPECT_EQ(envelope["rcpt_tos"],
            nlohmann::json::array({"a@example.test", "b@example.test", "c@example.test", "d@example.test"}));
  EXPECT_NE(envelope["tls_version"], nullptr);
  EXPECT_EQ(envelope["auth_user"], "mailer");
}

TEST(RealServerPlain, WithoutStartTlsEverythingGoesInPlainText) {
  // A server that does not offer STARTTLS still gets AUTH LOGIN and the message.
  TSmtpServerOptions options;
  options.StartTls = false;
  TSmtpServerProcess server(options);
  TDevice device;
  device.FSmtpServerName = "127.0.0.1";
  device.FSmtpServerPort = server.Port();
  device.FSmtpServerUser = options.User;
  device.FSmtpServerPassword = options.Password;
  device.FUserEmail = "sales@example.test";
  device.SendMail("ivan@example.test", "", "", "Plain", "", {});
  server.WaitForMessage(1);
  const nlohmann::json envelope = server.Envelope(1);
  EXPECT_EQ(envelope["tls_version"], nullptr);
  EXPECT_EQ(envelope["auth_user"], "mailer");
}

// A device for a plain-text server with login (TLS plays no part in what is tested).
TDevice PlainDevice(const TSmtpServerProcess& server, const TSmtpServerOptions& options) {
  TDevice device;
  device.FSmtpServerName = "127.0.0.1";
  device.FSmtpServerPort = server.Port();
  device.FSmtpServerUser = options.User;
  device.FSmtpServerPassword = options.Password;
  device.FUserEmail = "sales@example.test";
  return device;
}

TEST(RealServerSize, TheExactSizeGoesWithMailFromAndATooLargeMessageGetsNoMailFrom) {
  TSmtpServerOptions options;
  options.StartTls = false;
  options.SizeLimit = 64 * 1024;
  TSmtpServerProcess server(options);
  TTempDir files("eqd-size-");
  TDevice device = PlainDevice(server, options);

  const std::string small = files.Write("small.bin", RandomBytes(1000, 3));
  device.SendMail("ivan@example.test", "", "", "Fits", "<p>.dot</p>", {{small, "", ""}});
  const auto eml = server.WaitForMessage(1);
  EXPECT_EQ(server.Envelope(1)["mail_options"],
            nlohmann::json::array({"SIZE=" + std::to_string(std::filesystem::file_size(eml))}));

  const std::string large = files.Write("large.bin", RandomBytes(64 * 1024, 4));
  try {
    device.SendMail("ivan@example.test", "", "", "Too large", "", {{large, "", ""}});
    ADD_FAILURE() << "the send must be refused";
  } catch (const EDriverError& e) {
    const std::string text = e.what();
    EXPECT_NE(text.find(std::string(smtp::texts::kMessageTooLarge) + "9"), std::string::npos) << text;
    EXPECT_NE(text.find(std::string(smtp::texts::kServerSizeLimit) + "65536"), std::string::npos) << text;
  }
  // The refused message reached neither MAIL FROM nor DATA.
  EXPECT_EQ(server.MailCommandCount(), 1);
  EXPECT_EQ(server.MessageCount(), 1);
}

TEST(RealServerSmtpUtf8, ANonAsciiLocalPartNeedsTheServersSmtpUtf8) {
  for (const bool announced : {true, false}) {
    SCOPED_TRACE(announced ? "SMTPUTF8 announced" : "SMTPUTF8 not announced");
    TSmtpServerOptions options;
    options.StartTls = false;
    options.SmtpUtf8 = announced;
    TSmtpServerProcess server(options);
    TDevice device = PlainDevice(server, options);
    std::string error;
    try {
      device.SendMail("Иван <иван@example.test>", "", "", "Привет", "", {});
    } catch (const EDriverError& e) {
      error = e.what();
    }
    if (announced) {
      EXPECT_EQ(error, "");
      server.WaitForMessage(1);
      const nlohmann::json envelope = server.Envelope(1);
      EXPECT_EQ(envelope["rcpt_tos"], nlohmann::json::array({"иван@example.test"}));
      EXPECT_EQ(envelope["mail_options"], nlohmann::json::array({"SMTPUTF8"}));  // no SIZE unless announced
    } else {
      EXPECT_EQ(error, smtp::texts::kSmtpUtf8NotAnnounced);
      EXPECT_EQ(server.MailCommandCount(), 0);
      EXPECT_EQ(server.MessageCount(), 0);
    }
  }
}

}  // namespace
}  // namespace eqd
