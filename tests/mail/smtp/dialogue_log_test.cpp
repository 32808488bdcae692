// The SMTP dialogue in the event log, against the real server on loopback (aiosmtpd with
// STARTTLS and AUTH LOGIN): every reply and command in order, the credentials masked,
// the message only as its size, one INFO line per delivered message.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "automation/errors.h"
#include "mail/codecs/base64.h"
#include "mail/event_log.h"
#include "mail/smtp/device_sender.h"
#include "mail/smtp/smtp_texts.h"
#include "platform/tcp_socket.h"
#include "support/smtp_server_fixture.h"
#include "support/temp_dir.h"

namespace eqd {
namespace {

namespace texts = smtp::texts;
using test::TSmtpServerOptions;
using test::TSmtpServerProcess;
using test::TTempDir;

// One line of the event log: its level and its text after the name.
struct TLogLine {
  std::string Level;
  std::string Text;
};

class DialogueLog : public ::testing::Test {
 protected:
  void SetUp() override {
    // The event log goes below this test's own folder.
    setenv("VLM_DODEZOZ41_DATA_DIR", dir_.File("data").c_str(), 1);
    SetEventLogMode(kEventLogAll);
  }
  void TearDown() override {
    SetEventLogMode(kEventLogOff);
    unsetenv("VLM_DODEZOZ41_DATA_DIR");
  }

  TDevice Device(const TSmtpServerProcess& server, const TSmtpServerOptions& options = {}) const {
    TDevice device;
    device.FSmtpServerName = "localhost";
    device.FSmtpServerPort = server.Port();
    device.FSmtpServerUser = options.User;
    device.FSmtpServerPassword = options.Password;
    device.FUserEmail = "Отдел продаж <sales@example.test>";
    return device;
  }

  // The whole text of every event log file written so far.
  std::string LogText() const {
    std::string text;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_.Path() / "data"))
      if (entry.is_regular_file()) text += test::ReadFileBytes(entry.path());
    return text;
  }

  // The lines named "TDevice", in order.
  std::vector<TLogLine> DeviceLines() const {
    std::vector<TLogLine> lines;
    const std::string text = LogText();
    for (std::size_t from = 0, end; (end = text.find("\r\n", from)) != std::string::npos; from = end + 2) {
      const std::string line = text.substr(from, end - from);
      const std::size_t level = line.find('\t');
      const std::size_t name = line.find("\tTDevice: \t");
      if (level == std::string::npos || name == std::string::npos) continue;
      lines.push_back({line.substr(level + 1, name - level - 1), line.substr(name + 11)});
    }
    return lines;
  }

  // The dialogue in short: each command whole, each reply as "S: " and its code once.
  static std::vector<std::string> Dialogue(const std::vector<TLogLine>& lines) {
    std::vector<std::string> shortened;
    bool inReply = false;
    for (const TLogLine& l : lines) {
      if (l.Level != "DEBUG") continue;
      if (l.Text.rfind("C: ", 0) == 0) {
        shortened.push_back(l.Text);
        inReply = false;
      } else if (!inReply) {
        shortened.push_back(l.Text.substr(0, 6));
      }
      // The next line belongs to the same reply when this one ends with "-" after its code.
      inReply = l.Text.rfind("S: ", 0) == 0 && l.Text.size() > 6 && l.Text[6] == '-';
    }
    return shortened;
  }

  static std::vector<std::string> Login() {
    const std::string ehlo = "C: EHLO " + platform::LocalHostName();
    return {"S: 220", ehlo,    "S: 250",      "C: STARTTLS", "S: 220",      ehlo,    "S: 250",
            "C: AUTH LOGIN",  "S: 334", "C: ********", "S: 334",      "C: ********", "S: 235"};
  }

  static std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }

  TTempDir dir_{"eqd-dialogue-log-"};
};

TEST_F(DialogueLog, ADeliveredMessageLeavesItsDialogueSizeAndOneInfoLine) {
  TSmtpServerProcess server;
  const TSmtpServerOptions options;
  const std::string body = "<p>Содержимое письма: marker-in-the-body</p>";
  const std::string attachment = dir_.Write("report.txt", "marker-in-the-attachment\r\n");
  TDevice device = Device(server);
  device.SendMail("ivan@example.test; second@example.test;", "", "hidden@example.test", "Subject marker", body,
                  {{attachment, "", ""}});

  const std::vector<TLogLine> lines = DeviceLines();
  const std::vector<std::string> dialogue = Dialogue(lines);
  const std::string eml = test::ReadFileBytes(server.WaitForMessage(1));
  const std::string sizeLine = std::string("C: . (") + texts::kMessageSizeNote + std::to_string(eml.size()) + ")";
  EXPECT_EQ(dialogue, Concat(Login(), {"C: MAIL FROM:<sales@example.test>", "S: 250", "C: RCPT TO:<ivan@example.test>",
                                       "S: 250", "C: RCPT TO:<second@example.test>", "S: 250",
                                       "C: RCPT TO:<hidden@example.test>", "S: 250", "C: DATA", "S: 354", sizeLine,
                                       "S: 250", "C: QUIT", "S: 221"}));

  // The last line is the INFO line, with the reply to the message as the server sent it.
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().Level, "INFO");
  EXPECT_EQ(lines.back().Text, std::string(texts::kDelivered) + "3; " + texts::kServerReply +
                                   "250 2.0.0 Message accepted for delivery");
  std::size_t infoLines = 0;
  for (const TLogLine& l : lines) infoLines += l.Level == "INFO";
  EXPECT_EQ(infoLines, 1u);

  // Neither the credentials in any form nor any of the message's text.
  const std::string log = LogText();
  for (const std::string& hidden :
       {Base64Encode(options.User), Base64Encode(options.Password), options.Password, std::string("marker-in-the"),
        std::string("Subject marker"), std::string("Content-Type"), Base64Encode("marker-in-the-attachment\r\n")})
    EXPECT_EQ(log.find(hidden), std::string::npos) << hidden;
}

TEST_F(DialogueLog, FailuresKeepTheirErrorLineAfterTheDialogue) {
  TSmtpServerOptions options;
  options.Pipelining = true;
  options.RefuseFirst = 1;
  TSmtpServerProcess server(options);

  // A wrong password: the refusal is the last reply, the ERROR line follows it.
  TDevice device = Device(server, options);
  device.FSmtpServerPassword = "wrong";
  EXPECT_THROW(device.SendMail("a@example.test", "", "", "s", "b", {}), EDriverError);
  std::vector<TLogLine> lines = DeviceLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2].Text, "S: 535 5.7.8 Authentication credentials invalid");
  EXPECT_EQ(lines.back().Level, "ERROR");
  EXPECT_TRUE(lines.back().Text.ends_with("Ответ сервера: 5.7.8 Authentication credentials invalid"))
      << lines.back().Text;
  const std::size_t firstSend = lines.size();

  // Refused after the final dot: the envelope went in one go, RSET followed the refusal.
  device.FSmtpServerPassword = options.Password;
  EXPECT_THROW(device.SendMail("a@example.test; b@example.test", "", "", "s", "b", {}), EDriverError);
  lines = DeviceLines();
  std::vector<std::string> second = Dialogue({lines.begin() + firstSend, lines.end()});
  for (std::string& entry : second)
    if (entry.rfind("C: . (", 0) == 0) entry = "C: . (size)";
  EXPECT_EQ(second, Concat(Login(), {"C: MAIL FROM:<sales@example.test>", "C: RCPT TO:<a@example.test>",
                                     "C: RCPT TO:<b@example.test>", "S: 250", "S: 250", "S: 250", "C: DATA", "S: 354",
                                     "C: . (size)", "S: 451", "C: RSET", "S: 250"}));
  EXPECT_EQ(lines.back().Level, "ERROR");
  EXPECT_TRUE(lines.back().Text.ends_with("Ответ сервера: 4.3.0 Try again later")) << lines.back().Text;
  for (const TLogLine& l : lines) EXPECT_NE(l.Level, "INFO") << l.Text;
}

TEST_F(DialogueLog, TheConnectionTestLogsItsDialogueToo) {
  TSmtpServerProcess server;
  TDevice device = Device(server);
  device.TestConnection();
  const std::vector<TLogLine> lines = DeviceLines();
  EXPECT_EQ(Dialogue(lines), Concat(Login(), {"C: QUIT", "S: 221"}));
  for (const TLogLine& l : lines) EXPECT_EQ(l.Level, "DEBUG") << l.Text;
  EXPECT_EQ(server.MessageCount(), 0);
}

}  // namespace
}  // namespace eqd
