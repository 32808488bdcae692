// The fault matrix: one row per way a server can misbehave, each driven through the
// driver as a host drives it (CallMethod by name) and checked for everything the host
// depends on: the code and text SendMail returns, the lists kept for a retry after a
// failure (emptied after a success), the ERROR line in the event log, no temporary file
// left once the object is released, and no descriptor left open.
//
// The servers: the scripted fault server beside this file, and Postfix's smtp-sink where
// its switches produce the behaviour for real (refusals of a chosen command, 421,
// dropped connections, a 550 in the middle of the message).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>
#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include "automation/result_codes.h"
#include "host/driver_session.h"
#include "mail/event_log.h"
#include "mail/smtp/smtp_texts.h"
#include "support/child_process.h"
#include "support/smtp_server_fixture.h"
#include "support/temp_dir.h"

namespace eqd {
namespace {

namespace fs = std::filesystem;
namespace texts = smtp::texts;
using std::chrono::milliseconds;
using test::Arr;
using test::TCallResult;
using test::TChildProcess;
using test::TDriverSession;
using test::TTempDir;

constexpr const char* kSmtpSink = "/usr/sbin/smtp-sink";

std::size_t OpenDescriptors() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

std::vector<fs::path> FilesUnder(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file()) files.push_back(e.path());
  return files;
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

// True once something listens on the loopback port (read from the kernel's table, so no
// connection disturbs the server).
bool Listening(int port) {
  char local[32];
  std::snprintf(local, sizeof local, "0100007F:%04X", port);
  std::ifstream table("/proc/net/tcp");
  for (std::string line; std::getline(table, line);) {
    std::istringstream fields(line);
    std::string slot, address, remote, state;
    fields >> slot >> address >> remote >> state;
    if (address == local && state == "0A") return true;
  }
  return false;
}

// A port nobody uses at this moment.
int FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof a;
  int port = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &size) == 0)
    port = ntohs(a.sin_port);
  ::close(s);
  return port;
}

// smtp-sink on a loopback port of its own for one row, stopped with the object. It
// drops its privileges to "nobody" when started as root, as it insists. A port taken by
// someone else between the choice and smtp-sink's bind costs another try.
class TSmtpSink {
 public:
  explicit TSmtpSink(const std::vector<std::string>& switches) {
    for (int attempt = 0; attempt < 3 && !Up(); ++attempt) {
      port_ = FreePort();
      std::vector<std::string> argv = {kSmtpSink};
      if (::geteuid() == 0) argv.insert(argv.end(), {"-u", "nobody"});
      argv.insert(argv.end(), switches.begin(), switches.end());
      argv.insert(argv.end(), {"127.0.0.1:" + std::to_string(port_), "8"});
      process_ = std::make_unique<TChildProcess>(argv);
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (!Listening(port_) && process_->Running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(20));
    }
  }
  int Port() const { return port_; }
  bool Up() const { return process_ && process_->Running() && Listening(port_); }

 private:
  int port_ = 0;
  std::unique_ptr<TChildProcess> process_;
};

struct TMatrixRow {
  std::string what;                // the server's behaviour
  std::string scenario;            // the fault server's, or "" for smtp-sink
  std::vector<std::string> sink;   // smtp-sink's switches
  std::string text;                // the end of what the host gets, after the explanation of the
                                   // failed step if there is one; "" for a send that succeeds
  bool prefixOnly = false;         // `text` is the start of it (a system error follows)
  int recipients = 1;
  milliseconds wait{5000};         // the sender's limit for each reply and write
  std::size_t attachmentSize = 0;  // a file attachment of so many bytes besides the small one
  std::string orPrefix = "";       // also right: a text that starts so (where timing decides)
};

class FaultMatrix : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"TMPDIR", "VLM_DODEZOZ41_DATA_DIR"})
      if (const char* v = std::getenv(name)) saved_[name] = v;
    fs::create_directories(tmp_);
    ::setenv("TMPDIR", tmp_.c_str(), 1);
    ::setenv("VLM_DODEZOZ41_DATA_DIR", (root_.Path() / "data").c_str(), 1);
    server_ = std::make_unique<TChildProcess>(std::vector<std::string>{
        test::kPython, EQ_FAULT_SERVER_SCRIPT, "--port-file", root_.File("ports"), "--log-dir", root_.File("log"),
        "--cert-dir", root_.File("cert")});
    ASSERT_TRUE(test::WaitForFile(root_.File("ports"), std::chrono::seconds(30))) << "the fault server did not start";
    const nlohmann::json ports = nlohmann::json::parse(test::ReadFileBytes(root_.File("ports")));
    for (const auto& [name, port] : ports.items()) ports_[name] = port.get<int>();
  }
  void TearDown() override {
    server_.reset();
    SetEventLogMode(kEventLogOff);
    for (const char* name : {"TMPDIR", "VLM_DODEZOZ41_DATA_DIR"})
      if (saved_.count(name)) ::setenv(name, saved_[name].c_str(), 1); else ::unsetenv(name);
  }

  std::string Attachment(std::size_t size) {
    const fs::path file = root_.Path() / "files" / ("attachment-" + std::to_string(size) + ".bin");
    if (!fs::exists(file)) {
      fs::create_directories(file.parent_path());
      std::string bytes(size, '\0');
      for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 2654435761u >> 13);
      std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
    }
    return file.string();
  }

  void Check(const TMatrixRow& row, int port) {
    const std::size_t descriptors = OpenDescriptors();
    {
      TDriverSession s;
      s.Open("MATRIX");
      ASSERT_TRUE(s.Set({{"SmtpServerName", Variant("127.0.0.1")},
                         {"SmtpServerPort", Variant(std::to_string(port))},
                         {"SmtpServerUser", Variant("user")},
                         {"SmtpServerPassword", Variant("pass")},
                         {"UserEmail", Variant("Sender <from@fault.test>")},
                         {"DebugLogEnabled", Variant(true)}})
                      .Result);
      ASSERT_TRUE(s.Call("Enable").Result);
      // The object's own sender, whose limits a host cannot set: shortened here so that
      // the rows that wait stay quick.
      const_cast<TDevice&>(s.Driver().Device()).TimeLimits.Wait = row.wait;
      for (int i = 0; i < row.recipients; ++i)
        ASSERT_TRUE(s.Call("AddRecepient", Arr({Variant(std::string(1, char('a' + i)) + "@fault.test")})).Result);
      ASSERT_TRUE(s.Call("AddAttachmentBase64", Arr({Variant("a.txt"), Variant("QUJD"), Variant(""), Variant("")})).Result);
      if (row.attachmentSize > 0) {
        ASSERT_TRUE(s.Call("AddAttachment", Arr({Variant(Attachment(row.attachmentSize)), Variant(""), Variant("")})).Result);
      }

      const std::string logBefore = test::ReadFileBytes(EventLogFileName());
      const TCallResult r =
          s.Call("SendMail", Arr({Variant(), Variant(), Variant(), Variant("Subject"), Variant("<p>Body</p>"), Variant()}));
      const std::string logAdded = test::ReadFileBytes(EventLogFileName()).substr(logBefore.size());
      if (row.text.empty()) {
        EXPECT_TRUE(r.Result) << r.Text();
        EXPECT_EQ(logAdded.find("\tERROR\t"), std::string::npos) << logAdded;
        EXPECT_TRUE(s.Driver().RecepientsArray().IsEmpty());
        EXPECT_TRUE(s.Driver().AttachmentPathsArray().IsEmpty());
        EXPECT_TRUE(FilesUnder(tmp_).empty());
      } else {
        EXPECT_EQ(r.Code(), rcUnknownError);
        if (!row.orPrefix.empty() && r.Text().rfind(row.orPrefix, 0) == 0) {
          // the other way the row may end
        } else if (row.prefixOnly) {
          EXPECT_EQ(r.Text().rfind(row.text, 0), 0u) << r.Text();
        } else {
          EXPECT_TRUE(r.Text().ends_with(row.text)) << r.Text();
        }
        EXPECT_EQ(Occurrences(logAdded, "\tERROR\tTDevice: \t" + r.Text() + "\r\n"), 1u) << logAdded;
        // Everything stays for an identical retry, the decoded attachment file included.
        EXPECT_EQ(s.Driver().RecepientsArray().ArrayValue()->Elements().size(),
                  static_cast<std::size_t>(row.recipients));
        EXPECT_EQ(s.Driver().AttachmentPathsArray().ArrayValue()->Elements().size(), row.attachmentSize > 0 ? 6u : 3u);
        EXPECT_EQ(FilesUnder(tmp_).size(), 1u);
      }
    }
    EXPECT_TRUE(fs::is_empty(tmp_));
    EXPECT_EQ(OpenDescriptors(), descriptors);
  }

  TTempDir root_{"eqd-fault-matrix-"};
  fs::path tmp_ = root_.Path() / "tmp";
  std::map<std::string, std::string> saved_;
  std::unique_ptr<TChildProcess> server_;
  std::map<std::string, int> ports_;
};

TEST_F(FaultMatrix, EveryServerBehaviourReachesTheHostCleanly) {
  const std::string closed = texts::kConnectionClosed;
  const std::vector<TMatrixRow> rows = {
      // Connecting and the greeting.
      {"connection refused", "refused", {}, "Connection refused"},
      {"421 instead of the greeting", "", {"-a", "-Q", "CONNECT"}, "4.0.0 Server closing connection"},
      {"closed before the greeting", "", {"-a", "-q", "CONNECT"}, closed, true},
      {"silence", "silent", {}, texts::kReadTimeout, false, 1, milliseconds(700)},
      {"the greeting one byte a second", "tarpit", {}, texts::kReadTimeout, false, 1, milliseconds(2000)},
      // How replies arrive.
      {"every reply in several lines", "multiline", {}, ""},
      {"a refusal in several lines", "multiline_550", {},
       "5.7.1 Sender rejected 5.7.1 see the policy 5.7.1 for details"},
      {"bare LF line ends", "lf_only", {}, ""},
      {"replies split across segments", "split_replies", {}, ""},
      {"garbage instead of a reply", "garbage_reply", {}, texts::kReplyMalformed},
      // STARTTLS and the login.
      {"bytes pipelined after the 220 to STARTTLS", "starttls_injection", {}, texts::kTlsHandshakeFailed},
      {"454 to STARTTLS", "starttls_454", {}, texts::kStartTlsRefused},
      {"a handshake with garbage", "handshake_garbage", {}, texts::kTlsHandshakeFailed},
      {"closed during the handshake", "close_in_handshake", {}, texts::kTlsHandshakeFailed},
      {"no AUTH announced", "", {"-a"}, ""},
      {"535 to the password", "auth_535", {}, "5.7.8 Error: authentication failed: authentication failure"},
      {"334 challenges that are no Base64", "auth_challenge_not_base64", {}, ""},
      // The envelope.
      {"4xx to MAIL FROM", "", {"-a", "-r", "MAIL"}, "4.3.0 Error: command failed"},
      {"5xx to MAIL FROM", "", {"-a", "-f", "MAIL"}, "5.3.0 Error: command failed"},
      {"4xx to the first RCPT TO", "", {"-a", "-r", "RCPT"}, "4.3.0 Error: command failed"},
      {"5xx to the first RCPT TO", "", {"-a", "-f", "RCPT"}, "5.3.0 Error: command failed"},
      {"4xx to a later RCPT TO", "rcpt2_450", {}, "4.2.0 <b@fault.test>: Recipient address rejected: Greylisted",
       false, 3},
      {"5xx to a later RCPT TO", "rcpt2_550", {}, "5.1.1 <b@fault.test>: Recipient address rejected: User unknown",
       false, 3},
      {"5xx to a later RCPT TO, pipelined", "pipelining_rcpt2_550", {}, "5.1.1 <b@fault.test>: User unknown", false,
       3},
      {"4xx to DATA", "", {"-a", "-r", "DATA"}, "4.3.0 Error: command failed"},
      {"5xx to DATA", "", {"-a", "-f", "DATA"}, "5.3.0 Error: command failed"},
      // The message.
      {"552 after the final dot", "", {"-a", "-f", ".", "-B", "552 5.3.4 Message too big for system"},
       "5.3.4 Message too big for system"},
      // Between two pieces of the message the sender looks for input: whatever came, a
      // reply or the connection's end, the final dot must not follow. The end may also
      // meet the sender inside a write.
      {"closed in the middle of the message", "close_in_message", {}, texts::kEarlyReply, false, 1,
       milliseconds(5000), 4 << 20, closed},
      {"550 in the middle of the message", "", {"-a", "-A", "0"}, std::string(texts::kEarlyReply) + ": This violates SMTP",
       false, 1, milliseconds(5000), 4 << 20},
      // Every write waits for the server to read; none waits long.
      {"a server that reads very slowly", "slow_reader", {}, "", false, 1, milliseconds(3000), 128 << 10},
  };
  ASSERT_TRUE(fs::exists(kSmtpSink)) << kSmtpSink << " is missing: scripts/deps mail";
  for (const TMatrixRow& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.scenario.empty()) {
      TSmtpSink sink(row.sink);
      ASSERT_TRUE(sink.Up()) << "smtp-sink did not start";
      Check(row, sink.Port());
    } else {
      Check(row, ports_.at(row.scenario));
    }
  }
}

}  // namespace
}  // namespace eqd
