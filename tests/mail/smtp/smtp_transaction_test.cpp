// A connection that breaks while the message is on its way: the server's refusal comes
// before its reset, and the client meets the reset first (a write fails) or the refusal
// first (between two pieces). Either way the host sees the refusal. A scripted stream makes
// the write fail first on demand, which a real server cannot.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "mail/smtp/smtp_error.h"
#include "mail/smtp/smtp_texts.h"
#include "net/net_error.h"
#include "scripted_stream.h"

namespace eqd::smtp {
namespace {

using testing::TOneSend;
using testing::TScriptedStream;

// The server up to its 354; the first write of the message text fails as a reset does,
// and only then `lastWords` (what the server sent before it went) is there to read.
class TResetInTheMessage final : public net::TByteStream {
 public:
  explicit TResetInTheMessage(std::string lastWords)
      : script_({"220 mx.test\r\n", "250 mx.test\r\n", "250 ok\r\n", "250 ok\r\n", "354 go ahead\r\n"}, 0),
        lastWords_(std::move(lastWords)) {}

  std::size_t Read(char* buffer, std::size_t size, net::TDeadline deadline) override {
    if (!reset_) return script_.Read(buffer, size, deadline);
    const std::size_t n = std::min(size, lastWords_.size() - read_);
    std::memcpy(buffer, lastWords_.data() + read_, n);
    read_ += n;
    return n;
  }
  void Write(std::string_view data, net::TDeadline deadline) override {
    const std::string& written = script_.Written();
    if (written.size() >= 6 && written.compare(written.size() - 6, 6, "DATA\r\n") == 0) {
      reset_ = true;
      throw net::ENetError(net::TNetErrorKind::neClosed, net::TNetStep::nsWrite, "Connection reset by peer");
    }
    script_.Write(data, deadline);
  }
  bool InputPending() override { return reset_ ? read_ < lastWords_.size() : script_.InputPending(); }

 private:
  TScriptedStream script_;
  std::string lastWords_;
  std::size_t read_ = 0;
  bool reset_ = false;
};

TEST(SmtpTransaction, AWriteThatMeetsTheServersResetReportsWhatItSaidBefore) {
  struct TCase {
    std::string LastWords;
    std::string Error;
  } cases[] = {
      {"550 5.7.1 This violates SMTP\r\n", std::string(texts::kEarlyReply) + ": 5.7.1 This violates SMTP"},
      {"", std::string(texts::kConnectionClosed) + ": Connection reset by peer"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.LastWords);
    TResetInTheMessage stream(c.LastWords);
    TOneSend send(stream, nullptr);
    try {
      send.Send({"client.test", "", "", "from@x.test", {"to@x.test"}},
                [](TDataSink& out) { out.Write("Subject: t\r\n\r\nline\r\n"); });
      ADD_FAILURE() << "the send went through";
    } catch (const ESmtpError& e) {
      EXPECT_EQ(e.Message(), c.Error);
    }
  }
}

// Counts the client's writes: each is one turn of the dialogue at most.
class TCountingStream final : public TScriptedStream {
 public:
  using TScriptedStream::TScriptedStream;
  void Write(std::string_view data, net::TDeadline deadline) override {
    ++writes_;
    TScriptedStream::Write(data, deadline);
  }
  int Writes() const { return writes_; }

 private:
  int writes_ = 0;
};

TEST(SmtpTransaction, DataWithTheEnvelopeOnAPipeliningServer) {
  const std::string pipelining = "250-mx.test\r\n250-PIPELINING\r\n250 8BITMIME\r\n";
  const std::string ok = "250 2.0.0 OK\r\n";
  const std::string goAhead = "354 go ahead\r\n";
  const std::vector<std::string> envelope = {"MAIL FROM:<from@x.test>", "RCPT TO:<a@x.test>", "RCPT TO:<b@x.test>",
                                             "DATA"};
  const std::vector<std::string> text = {"Subject: t", "", "line", "."};
  const auto concat = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  struct TCase {
    std::string Name;
    std::string Ehlo;
    std::vector<std::string> Replies;  // after EHLO's
    std::vector<std::string> Lines;    // the client's after EHLO
    int Writes;                        // the client's after EHLO
    std::string Error;                 // empty: delivered
    bool MailAccepted;
  } cases[] = {
      {"delivered: the envelope with DATA, then the text",
       pipelining, {ok + ok + ok + goAhead, ok}, concat(envelope, text), 2, "", true},
      {"sender refused: nothing more, no RSET",
       pipelining, {"550 5.7.1 no\r\n503 5.5.1 MAIL first\r\n503 5.5.1 MAIL first\r\n503 5.5.1 MAIL first\r\n"},
       envelope, 1, "5.7.1 no", false},
      {"a recipient refused, DATA refused: RSET after every reply, no text",
       pipelining, {ok + "550 5.1.1 <a@x.test>: unknown\r\n" + ok + "554 5.5.1 no valid recipients\r\n", ok},
       concat(envelope, {"RSET"}), 2, "5.1.1 <a@x.test>: unknown", true},
      {"a recipient refused, DATA answered 354 all the same: no text and no RSET inside the data",
       pipelining, {ok + ok + "550 5.1.1 <b@x.test>: unknown\r\n" + goAhead}, envelope, 1,
       "5.1.1 <b@x.test>: unknown", true},
      {"DATA refused",
       pipelining, {ok + ok + ok + "451 4.3.0 later\r\n", ok}, concat(envelope, {"RSET"}), 2, "4.3.0 later", true},
      {"closed before the first reply: nothing taken",
       pipelining, {}, envelope, 1, std::string(texts::kConnectionClosed), false},
      {"no PIPELINING: one command a turn, DATA after the recipients",
       "250 mx.test\r\n", {ok, ok, ok, goAhead, ok}, concat(envelope, text), 5, "", true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<std::string> replies = {"220 mx.test\r\n", c.Ehlo};
    replies.insert(replies.end(), c.Replies.begin(), c.Replies.end());
    TCountingStream stream(replies, std::string::npos);
    TSmtpConnection connection(stream, nullptr);
    connection.Open("client.test");
    const int writesBefore = stream.Writes();
    TSmtpTransaction transaction(connection, true);
    std::string error;
    try {
      transaction.Send({"from@x.test", {"a@x.test", "b@x.test"}, {}},
                       [](TDataSink& out) { out.Write("Subject: t\r\n\r\nline\r\n"); });
    } catch (const ESmtpError& e) {
      error = e.Message();
    }
    EXPECT_EQ(error, c.Error);
    std::vector<std::string> lines = stream.Lines();
    lines.erase(lines.begin());  // EHLO
    EXPECT_EQ(lines, c.Lines);
    EXPECT_EQ(stream.Writes() - writesBefore, c.Writes);
    EXPECT_TRUE(transaction.EnvelopeWritten());
    EXPECT_EQ(transaction.MailAccepted(), c.MailAccepted);
  }
}

TEST(SmtpTransaction, ARefusalBeforeMailFromWritesNothing) {
  TScriptedStream stream({"220 mx.test\r\n", "250-mx.test\r\n250 PIPELINING\r\n"}, std::string::npos);
  TSmtpConnection connection(stream, nullptr);
  connection.Open("client.test");
  TSmtpTransaction transaction(connection, true);
  EXPECT_THROW(transaction.Send({"иван@x.test", {"a@x.test"}, {}}, [](TDataSink&) {}, {{}, true}), ESmtpError);
  EXPECT_FALSE(transaction.EnvelopeWritten());
  EXPECT_EQ(stream.Lines(), std::vector<std::string>{"EHLO client.test"});
}

}  // namespace
}  // namespace eqd::smtp
