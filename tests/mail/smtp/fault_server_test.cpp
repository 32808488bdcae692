// TDevice against scripted servers on loopback (fault_server.py): refusals at each step,
// dropped connections, silence, endless replies, a broken and an old TLS handshake.
// Every failure must reach the caller with its own message and leave an ERROR line in
// the event log.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "automation/errors.h"
#include "mail/codecs/base64.h"
#include "mail/event_log.h"
#include "mail/smtp/device_sender.h"
#include "mail/smtp/smtp_texts.h"
#include "platform/tcp_socket.h"
#include "support/child_process.h"
#include "support/smtp_server_fixture.h"
#include "support/temp_dir.h"

namespace eqd {
namespace {

namespace texts = smtp::texts;
using test::TChildProcess;
using test::TTempDir;

class FaultServer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TTempDir("eqd-fault-server-");
    // The event log goes below this test's own folder.
    setenv("VLM_DODEZOZ41_DATA_DIR", (dir_->Path() / "data").string().c_str(), 1);
    SetEventLogMode(3);
    server_ = new TChildProcess({test::kPython, EQ_FAULT_SERVER_SCRIPT, "--port-file", dir_->File("ports"),
                                 "--log-dir", dir_->File("log"), "--cert-dir", dir_->File("cert")});
    if (!test::WaitForFile(dir_->File("ports"), std::chrono::seconds(30))) return;
    const nlohmann::json ports = nlohmann::json::parse(test::ReadFileBytes(dir_->File("ports")));
    for (const auto& [name, port] : ports.items()) ports_[name] = port.get<int>();
  }

  static void TearDownTestSuite() {
    SetEventLogMode(0);
    delete server_;
    delete dir_;
    unsetenv("VLM_DODEZOZ41_DATA_DIR");
    ports_.clear();
  }

  void SetUp() override { ASSERT_FALSE(ports_.empty()) << "the fault server did not start"; }
  // A sender pointed at `scenario`; the log of the scenario's previous client goes, so
  // that ServerLog waits for this one's.
  static TDevice Device(const std::string& scenario) {
    std::filesystem::remove(dir_->File("log/" + scenario + ".log"));
    TDevice device;
    device.FSmtpServerName = "127.0.0.1";
    device.FSmtpServerPort = ports_.at(scenario);
    device.FUserEmail = "Sender <from@fault.test>";
    return device;
  }

  // Sends a small message and returns the failure's message ("" when it succeeded).
  static std::string Send(TDevice& device, const std::string& to = "a@fault.test",
                          const std::vector<TAttachment>& attachments = {}) {
    try {
      device.SendMail(to, "", "", "Subject", "<p>Body</p>", attachments);
    } catch (const EDriverError& e) {
      return e.what();
    }
    return "";
  }

  // What the client sent to `scenario`, once its connection has ended.
  static std::vector<std::string> ServerLog(const std::string& scenario) {
    const std::string path = dir_->File("log/" + scenario + ".log");
    if (!test::WaitForFile(path, std::chrono::seconds(10))) return {"<no log>"};
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  static std::string EventLogText() {
    std::string text;
    const auto data = dir_->Path() / "data";
    if (!std::filesystem::exists(data)) return text;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(data))
      if (entry.is_regular_file() && entry.path().extension() == ".log") text += test::ReadFileBytes(entry.path());
    return text;
  }

  // Descriptors this process holds open: a failed send must leave none behind.
  static std::size_t OpenDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
  }

  static std::string Ehlo() { return "EHLO " + platform::LocalHostName(); }

  static inline TTempDir* dir_ = nullptr;
  static inline TChildProcess* server_ = nullptr;
  static inline std::map<std::string, int> ports_;
};

struct TFaultCase {
  std::string scenario;
  // The end of the message, after the explanation of the step that failed (or the whole
  // of it where there is none); or its start when `prefixOnly`.
  std::string message;
  bool prefixOnly;
  std::vector<std::string> commands;  // what the server received; empty: not checked
  std::string to = "a@fault.test";
};

TEST_F(FaultServer, EveryFailureReachesTheCallerAndTheEventLog) {
  const std::string ehlo = Ehlo();
  const std::vector<std::string> untilData = {ehlo, "MAIL FROM:<from@fault.test>", "RCPT TO:<a@fault.test>", "DATA"};
  const auto plus = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const std::vector<TFaultCase> cases = {
      {"starttls_454", texts::kStartTlsRefused, false, {ehlo, "STARTTLS"}},
      {"handshake_garbage", texts::kTlsHandshakeFailed, false, {ehlo, "STARTTLS"}},
      {"rcpt2_550",
       "5.1.1 <b@fault.test>: Recipient address rejected: User unknown",
       false,
       {ehlo, "MAIL FROM:<from@fault.test>", "RCPT TO:<a@fault.test>", "RCPT TO:<b@fault.test>", "RSET"},
       "a@fault.test; b@fault.test; c@fault.test;"},
      {"mail_from_550", "5.7.1 Sender address rejected: Access denied", false, {ehlo, "MAIL FROM:<from@fault.test>"}},
      {"mail_from_451", "4.3.2 Please try again later", false, {ehlo, "MAIL FROM:<from@fault.test>"}},
      {"data_end_554", "5.6.0 Message content rejected", false, plus(untilData, {"<message: terminated>", "RSET"})},
      {"data_end_451", "4.7.1 Greylisted, come back later", false,
       plus(untilData, {"<message: terminated>", "RSET"})},
      {"early_reply", std::string(texts::kEarlyReply) + ": 2.0.0 OK", false, untilData},
      {"pipelining_rcpt2_550",
       "5.1.1 <b@fault.test>: User unknown",
       false,
       {ehlo, "MAIL FROM:<from@fault.test>", "RCPT TO:<a@fault.test>", "RCPT TO:<b@fault.test>",
        "RCPT TO:<c@fault.test>", "RSET"},
       "a@fault.test; b@fault.test; c@fault.test;"},
      {"close_before_greeting", texts::kConnectionClosed, true, {}},
      {"close_after_ehlo", texts::kConnectionClosed, true, {ehlo}},
      {"close_after_mail_from", texts::kConnectionClosed, true, {ehlo, "MAIL FROM:<from@fault.test>"}},
      {"close_after_rcpt", texts::kConnectionClosed, true, {}},
      {"close_after_data", texts::kConnectionClosed, true, {}},
      {"close_after_dot", texts::kConnectionClosed, true, plus(untilData, {"<message: terminated>"})},
      {"endless_reply", texts::kReplyTooLong, false, {ehlo}},
      {"endless_line", texts::kReplyLineTooLong, false, {}},
      {"refused", "Connection refused", false, {}},
  };
  const std::size_t descriptors = OpenDescriptors();
  for (const TFaultCase& c : cases) {
    SCOPED_TRACE(c.scenario);
    TDevice device = Device(c.scenario);
    const std::string message = Send(device, c.to);
    if (c.prefixOnly) {
      EXPECT_EQ(message.rfind(c.message, 0), 0u) << message;
    } else {
      EXPECT_TRUE(message.ends_with(c.message)) << message;
    }
    EXPECT_NE(EventLogText().find("\tERROR\tTDevice: \t" + message + "\r\n"), std::string::npos) << message;
    if (!c.commands.empty()) {
      EXPECT_EQ(ServerLog(c.scenario), c.commands);
    }
  }
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST_F(FaultServer, SilentOrStalledServersTimeOut) {
  TTempDir files;
  // Large enough to fill the socket buffers of both sides many times over.
  const std::string big = files.Write("big.bin", std::string(24 * 1024 * 1024, 'x'));
  struct TCase {
    std::string scenario;
    std::string message;
    std::vector<TAttachment> attachments;
  };
  const std::vector<TCase> cases = {
      {"silent", texts::kReadTimeout, {}},
      {"silent_after_dot", texts::kReadTimeout, {}},
      {"stall_in_data", texts::kWriteTimeout, {{big, "", ""}}},
      {"blackhole",
       "Подключение к 127.0.0.1:" + std::to_string(ports_.at("blackhole")) +
           ": нет ответа на этом порту. Провайдеры и сети часто закрывают порт 25; обычно используют 587 с защитой "
           "«STARTTLS» или 465 с «SSL/TLS». Проверьте также брандмауэр.",
       {}},
  };
  const std::size_t descriptors = OpenDescriptors();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.scenario);
    TDevice device = Device(c.scenario);
    device.TimeLimits.Wait = std::chrono::milliseconds(700);
    const auto started = std::chrono::steady_clock::now();
    const std::string message = Send(device, "a@fault.test", c.attachments);
    EXPECT_TRUE(message.ends_with(c.message)) << message;
    // Ends on the shortened limit, not on the product's 30 s.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
  }
  EXPECT_EQ(OpenDescriptors(), descriptors);
}

TEST_F(FaultServer, EachReplyHasItsDeadlineAndQuitIsNotAwaitedLong) {
  using std::chrono::milliseconds;
  const std::string ehlo = Ehlo();
  const std::vector<std::string> delivered = {ehlo, "MAIL FROM:<from@fault.test>", "RCPT TO:<a@fault.test>", "DATA",
                                              "<message: terminated>", "QUIT"};
  struct TCase {
    std::string scenario;
    smtp::TSmtpTimeLimitsStruct limits;
    std::string message;
    std::vector<std::string> commands;
  };
  const std::vector<TCase> cases = {
      // Every line comes well within the limit, the whole reply does not.
      {"drip_ehlo", {milliseconds(1000), milliseconds(300)}, texts::kReadTimeout, {ehlo}},
      // Each reply in time, the dialogue as a whole longer than the limit.
      {"slow_replies", {milliseconds(1000), milliseconds(300)}, "", delivered},
      // QUIT unanswered: the client hangs up long before the server (10 s) or the
      // limit of other replies would give up.
      {"quit_unanswered", {milliseconds(20000), milliseconds(300)}, "", {ehlo, "MAIL FROM:<from@fault.test>",
       "RCPT TO:<a@fault.test>", "DATA", "<message: terminated>", "QUIT", "<client hung up>"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.scenario);
    TDevice device = Device(c.scenario);
    device.TimeLimits = c.limits;
    EXPECT_EQ(Send(device), c.message);
    EXPECT_EQ(ServerLog(c.scenario), c.commands);
  }
}

TEST_F(FaultServer, ConnectionTestStopsAfterTheLoginAndFailsAsASendFails) {
  const std::string ehlo = Ehlo();
  const std::vector<TFaultCase> cases = {
      {"tls10_login", "", false,
       {ehlo, "STARTTLS", "<tls TLSv1>", ehlo, "AUTH LOGIN", "dXNlcg==", "cGFzcw==", "QUIT"}},
      {"starttls_454", texts::kStartTlsRefused, false, {ehlo, "STARTTLS"}},
      {"handshake_garbage", texts::kTlsHandshakeFailed, false, {ehlo, "STARTTLS"}},
      {"refused", "Connection refused", false, {}},
  };
  for (const TFaultCase& c : cases) {
    SCOPED_TRACE(c.scenario);
    TDevice device = Device(c.scenario);
    device.FSmtpServerUser = "user";
    device.FSmtpServerPassword = "pass";
    std::string message;
    try {
      device.TestConnection();
    } catch (const EDriverError& e) {
      message = e.what();
    }
    if (c.prefixOnly) {
      EXPECT_EQ(message.rfind(c.message, 0), 0u) << message;
    } else {
      EXPECT_TRUE(message.ends_with(c.message)) << message;
    }
    if (!message.empty()) {
      EXPECT_NE(EventLogText().find("\tERROR\tTDevice: \t" + message + "\r\n"), std::string::npos) << message;
    }
    if (!c.commands.empty()) {
      EXPECT_EQ(ServerLog(c.scenario), c.commands);
    }
  }
}

TEST_F(FaultServer, UnreadableAttachmentLeavesTheMessageUnterminated) {
  TDevice device = Device("accept");
  const std::string message = Send(device, "a@fault.test", {{"/nonexistent/folder/report.pdf", "", ""}});
  EXPECT_NE(message.find("/nonexistent/folder/report.pdf"), std::string::npos) << message;
  EXPECT_NE(EventLogText().find("\tERROR\tTDevice: \t" + message + "\r\n"), std::string::npos);
  // The server saw the message begin and the connection end: no final dot, no RSET, no
  // QUIT, so it has nothing to deliver.
  EXPECT_EQ(ServerLog("accept"), (std::vector<std::string>{Ehlo(), "MAIL FROM:<from@fault.test>",
                                                           "RCPT TO:<a@fault.test>", "DATA",
                                                           "<message: unterminated>"}));
}

TEST_F(FaultServer, ServersThatDoNotNeedEverythingStillGetTheMessage) {
  {
    // Only PLAIN announced: no AUTH command at all; MAIL FROM follows EHLO.
    TDevice device = Device("auth_plain_only");
    device.FSmtpServerUser = "user";
    device.FSmtpServerPassword = "pass";
    EXPECT_EQ(Send(device), "");
    EXPECT_EQ(ServerLog("auth_plain_only"),
              (std::vector<std::string>{Ehlo(), "MAIL FROM:<from@fault.test>", "RCPT TO:<a@fault.test>", "DATA",
                                        "<message: terminated>", "QUIT"}));
  }
  {
    TDevice device = Device("helo_fallback");
    EXPECT_EQ(Send(device), "");
    EXPECT_EQ(ServerLog("helo_fallback"),
              (std::vector<std::string>{Ehlo(), "HELO " + platform::LocalHostName(), "MAIL FROM:<from@fault.test>",
                                        "RCPT TO:<a@fault.test>", "DATA", "<message: terminated>", "QUIT"}));
  }
  {
    // A server that speaks nothing newer than TLS 1.0 (and so signs with SHA-1).
    TDevice device = Device("tls10_login");
    device.FSmtpServerUser = "user";
    device.FSmtpServerPassword = "pass";
    EXPECT_EQ(Send(device), "");
    EXPECT_EQ(ServerLog("tls10_login"),
              (std::vector<std::string>{Ehlo(), "STARTTLS", "<tls TLSv1>", Ehlo(), "AUTH LOGIN", "dXNlcg==",
                                        "cGFzcw==", "MAIL FROM:<from@fault.test>", "RCPT TO:<a@fault.test>", "DATA",
                                        "<message: terminated>", "QUIT"}));
  }
}

TEST_F(FaultServer, AServerThatAnnouncesPipeliningGetsTheEnvelopeInOneGo) {
  // The server answers only once it has the whole envelope: a client that waited for
  // each reply would run into its limit.
  TDevice device = Device("pipelining");
  device.TimeLimits.Wait = std::chrono::milliseconds(2000);
  EXPECT_EQ(Send(device, "a@fault.test; b@fault.test"), "");
  EXPECT_EQ(ServerLog("pipelining"),
            (std::vector<std::string>{Ehlo(), "MAIL FROM:<from@fault.test>", "RCPT TO:<a@fault.test>",
                                      "RCPT TO:<b@fault.test>", "DATA", "<message: terminated>", "QUIT"}));
}

TEST_F(FaultServer, AServerThatAnswersEachCommandAsItReadsItTakesAnEnvelopeOfAnySize) {
  // Its answers (about 220 bytes each) back up long before the client could write 20 000
  // commands without reading one.
  TDevice device = Device("pipelining_each");
  device.TimeLimits.Wait = std::chrono::milliseconds(5000);
  // Long addresses (within RFC 5321's limits), so that the envelope outgrows what the
  // system buffers on loopback.
  const auto address = [](int i) {
    char local[8];
    std::snprintf(local, sizeof local, "r%05d", i);
    return local + std::string(57, 'x') + "@" + std::string(170, 'd') + ".fault.test";
  };
  std::string bcc;
  for (int i = 0; i < 20000; ++i) bcc += address(i) + ";";
  std::string message;
  SetEventLogMode(kEventLogOff);  // 40 000 lines of dialogue would only slow it down
  try {
    device.SendMail("a@fault.test", "", bcc, "Subject", "<p>Body</p>", {});
  } catch (const EDriverError& e) {
    message = e.what();
  }
  SetEventLogMode(kEventLogAll);
  EXPECT_EQ(message, "");
  const std::vector<std::string> log = ServerLog("pipelining_each");
  ASSERT_EQ(log.size(), 20006u);
  EXPECT_EQ(log[1], "MAIL FROM:<from@fault.test>");
  EXPECT_EQ(log[2], "RCPT TO:<a@fault.test>");
  EXPECT_EQ(log[20002], "RCPT TO:<" + address(19999) + ">");
  EXPECT_EQ((std::vector<std::string>(log.end() - 3, log.end())),
            (std::vector<std::string>{"DATA", "<message: terminated>", "QUIT"}));
}

TEST_F(FaultServer, AServersTextReachesTheHostWholeAndTheLogsHarmless) {
  // The host gets the whole text, past its NUL; the event log shows every control byte as
  // an escape, so nothing in it can steer a terminal that shows the file.
  static constexpr char kSent[] = "5.7.1 refused\0after NUL \x1b[2J\x1b]0;title\x07 \xc2\x9b" "31m end";
  const std::string sent(kSent, sizeof kSent - 1);
  const std::string shown = "5.7.1 refused\\x00after NUL \\x1B[2J\\x1B]0;title\\x07 \\u009B31m end";
  TDevice device = Device("reply_with_controls");
  const std::string before = EventLogText();
  std::string message;
  try {
    device.SendMail("a@fault.test", "", "", "Subject", "<p>Body</p>", {});
  } catch (const EDriverError& e) {
    message = e.Message();
  }
  EXPECT_TRUE(message.ends_with(sent)) << message;
  const std::string log = EventLogText().substr(before.size());
  EXPECT_NE(log.find("\tDEBUG\tTDevice: \tS: 550 " + shown + "\r\n"), std::string::npos) << log;
  const std::size_t error = log.find("\tERROR\tTDevice: \t");
  ASSERT_NE(error, std::string::npos) << log;
  EXPECT_EQ(log.find(shown + "\r\n", error), log.find("\r\n", error) - shown.size()) << log;
  for (const char control : {'\0', '\x1b', '\x07'}) EXPECT_EQ(log.find(control), std::string::npos) << int(control);
  EXPECT_EQ(log.find("\xc2\x9b"), std::string::npos);
}

TEST_F(FaultServer, WhatAServerRepeatsOfTheLoginIsMasked) {
  const std::string user = "robot-user";
  const std::string password = "S3cr3t-Пароль";
  TDevice device = Device("echo_credentials");
  device.FSmtpServerUser = user;
  device.FSmtpServerPassword = password;
  const std::string before = EventLogText();
  const std::string message = Send(device);
  EXPECT_TRUE(message.ends_with("5.7.8 ******** is not ********")) << message;
  const std::string log = EventLogText().substr(before.size());
  EXPECT_NE(log.find("\tDEBUG\tTDevice: \tS: 334 ******** means ********\r\n"), std::string::npos) << log;
  for (const std::string& secret : {user, password, Base64Encode(user), Base64Encode(password)})
    EXPECT_EQ(log.find(secret), std::string::npos) << secret;
}

TEST_F(FaultServer, AnUnwritableEventLogDoesNotHideTheFailure) {
  // The data folder would have to be made below a plain file.
  const std::string blocker = dir_->Write("plain-file", "x");
  setenv("VLM_DODEZOZ41_DATA_DIR", (blocker + "/data").c_str(), 1);
  EXPECT_ANY_THROW(WriteEventLog("TDevice", "probe", elError));
  TDevice device = Device("mail_from_550");
  const std::string message = Send(device);
  setenv("VLM_DODEZOZ41_DATA_DIR", (dir_->Path() / "data").string().c_str(), 1);
  EXPECT_TRUE(message.ends_with("Ответ сервера: 5.7.1 Sender address rejected: Access denied")) << message;
}

TEST_F(FaultServer, ALineBreakInsideAReplyCannotForgeAnEventLogLine) {
  TDevice device = Device("reply_with_cr");
  const std::string shown = "5.7.1 refused\\r2026.12.10 00:00:00.000\tINFO\tTDevice: \tforged";
  const std::string message = Send(device);
  EXPECT_TRUE(message.ends_with("5.7.1 refused\r2026.12.10 00:00:00.000\tINFO\tTDevice: \tforged")) << message;
  const std::string log = EventLogText();
  EXPECT_NE(log.find("\tDEBUG\tTDevice: \tS: 550 " + shown + "\r\n"), std::string::npos);
  EXPECT_NE(log.find("Ответ сервера: " + shown + "\r\n"), std::string::npos);
  EXPECT_EQ(log.find("\r2026.12.10 00:00:00.000"), std::string::npos);
}

TEST_F(FaultServer, BadInputIsRefusedBeforeConnecting) {
  // "refused" would fail any connection attempt with its own message; these never get
  // that far, and write nothing to the event log. What could end a command or a header
  // line, or leaves the list's form, is refused and shown as given.
  const std::string bad = "Некорректный адрес электронной почты: ";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"<a@fault.test\r\nDATA>", bad + "\"a@fault.test\\r\\nDATA\""},
      {"Name <a@fault.test\nRSET>", bad + "\"a@fault.test\\nRSET\""},
      {"evil@example.com>\r\nRCPT TO:<victim@example.com",
       bad + "\"evil@example.com>\\r\\nRCPT TO:<victim@example.com\""},
      {"a@fault.test; Name <b@fault.test", bad + "\"Name <b@fault.test\""},
      {"Name <b@fault.test> <c@fault.test>", bad + "\"Name <b@fault.test> <c@fault.test>\""},
      {"first last@fault.test", bad + "\"first last@fault.test\""},
      {";;  ;", "Не заполнен получатель"},
  };
  for (const auto& [to, expected] : cases) {
    SCOPED_TRACE(to);
    TDevice device = Device("refused");
    const std::string message = Send(device, to);
    EXPECT_EQ(message, expected);
    EXPECT_EQ(EventLogText().find(message), std::string::npos) << message;
  }
}

TEST_F(FaultServer, TheServerDecidesAboutAddressesThatCannotBreakTheDialogue) {
  TDevice device = Device("lenient");
  EXPECT_EQ(Send(device, "postmaster; Иван <ivan@пример.рф>"), "");
  EXPECT_EQ(ServerLog("lenient"),
            (std::vector<std::string>{Ehlo(), "MAIL FROM:<from@fault.test>", "RCPT TO:<postmaster>",
                                      "RCPT TO:<ivan@xn--e1afmkfd.xn--p1ai>", "DATA", "<message: terminated>", "QUIT"}));
  // A local part outside ASCII needs SMTPUTF8, which this server does not announce: no
  // MAIL FROM goes out.
  TDevice utf8 = Device("lenient");
  EXPECT_NE(Send(utf8, "postmaster; Иван <иван@пример.рф>").find(smtp::texts::kSmtpUtf8NotAnnounced), std::string::npos);
  const std::vector<std::string> log = ServerLog("lenient");
  EXPECT_EQ(std::find(log.begin(), log.end(), "MAIL FROM:<from@fault.test>"), log.end());
}

TEST_F(FaultServer, UnresolvableHostName) {
  TDevice device = Device("refused");
  device.FSmtpServerName = "no-such-host.invalid";
  const std::string message = Send(device);
  EXPECT_EQ(message.rfind("Подключение к SMTP-серверу: не найден адрес сервера no-such-host.invalid.", 0), 0u)
      << message;
}

TEST(DevicePort, LowSixteenBitsAnd465BecomesTwentyFive) {
  const std::vector<std::pair<std::int32_t, std::uint16_t>> cases = {
      {25, 25}, {587, 587}, {465, 25}, {-1, 65535}, {65536 + 587, 587}, {65536 + 465, 25}, {0, 0}};
  for (const auto& [setting, port] : cases) {
    TDevice device;
    device.FSmtpServerPort = setting;
    EXPECT_EQ(device.ConnectPort(), port) << setting;
  }
}

}  // namespace
}  // namespace eqd
