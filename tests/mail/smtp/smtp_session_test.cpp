#include "mail/smtp/smtp_connection.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "automation/errors.h"
#include "mail/smtp/smtp_error.h"
#include "mail/smtp/smtp_texts.h"
#include "scripted_stream.h"

namespace eqd::smtp {
namespace {

using testing::TOneSend;
using testing::TOneSendStruct;
using testing::TPassThroughTls;
using testing::TScriptedStream;

const std::string kGreeting = "220 mx.test ESMTP\r\n";
const std::string kEhloPlain = "250-mx.test\r\n250 8BITMIME\r\n";
const std::string kOk = "250 2.0.0 OK\r\n";
const std::string kGoAhead = "354 End data with <CR><LF>.<CR><LF>\r\n";
const std::string kBye = "221 Bye\r\n";

struct TSessionCase {
  std::string name;
  std::vector<std::string> server;    // the replies, in order
  std::vector<std::string> expected;  // the client's lines
  std::string error;                  // empty when the send succeeds
  std::string user = "";
  std::vector<std::string> recipients = {"to@x.test"};
  bool handshakeFails = false;
};

// The lines of the message the writer below produces, as they go over the wire.
const std::vector<std::string> kDataLines = {"Subject: t", "", "line", "..dot", "."};

std::vector<std::string> Concat(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// A plain dialogue up to and including DATA for one recipient.
std::vector<std::string> PlainUntilData() {
  return {"EHLO client.test", "MAIL FROM:<from@x.test>", "RCPT TO:<to@x.test>", "DATA"};
}

std::vector<TSessionCase> Cases() {
  const std::string ehloTls = "250-mx.test\r\n250-STARTTLS\r\n250 8BITMIME\r\n";
  const std::string ehloAuth = "250-mx.test\r\n250-AUTH PLAIN LOGIN\r\n250 8BITMIME\r\n";
  const std::string ehloPipe = "250-mx.test\r\n250-PIPELINING\r\n250 8BITMIME\r\n";
  const std::vector<std::string> abc = {"a@x.test", "b@x.test", "c@x.test"};
  const std::vector<std::string> envelopeAbc = {"EHLO client.test", "MAIL FROM:<from@x.test>", "RCPT TO:<a@x.test>",
                                                "RCPT TO:<b@x.test>", "RCPT TO:<c@x.test>"};
  return {
      {"plain, no extensions to use",
       {kGreeting, kEhloPlain, kOk, kOk, kGoAhead, kOk, kBye},
       Concat({PlainUntilData(), kDataLines, {"QUIT"}}),
       ""},
      {"EHLO refused, HELO accepted",
       {kGreeting, "502 5.5.2 Error: command not recognized\r\n", "250 mx.test\r\n", kOk, kOk, kGoAhead, kOk, kBye},
       Concat({{"EHLO client.test", "HELO client.test", "MAIL FROM:<from@x.test>", "RCPT TO:<to@x.test>", "DATA"},
               kDataLines,
               {"QUIT"}}),
       ""},
      {"HELO refused too",
       {kGreeting, "502 no\r\n", "504 5.5.2 go away\r\n"},
       {"EHLO client.test", "HELO client.test"},
       "5.5.2 go away"},
      {"greeting is not 220",
       {"554 5.3.2 No service here\r\n"},
       {},
       "5.3.2 No service here"},
      {"STARTTLS, then EHLO again and AUTH LOGIN inside TLS",
       {kGreeting, ehloTls, "220 2.0.0 Ready to start TLS\r\n",
        "250-mx.test\r\n250-STARTTLS\r\n250 AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n", "334 UGFzc3dvcmQ6\r\n",
        "235 2.7.0 Authentication successful\r\n", kOk, kOk, kGoAhead, kOk, kBye},
       Concat({{"EHLO client.test", "STARTTLS", "<handshake>", "EHLO client.test", "AUTH LOGIN", "dXNlcg==",
                "cGFzcw==", "MAIL FROM:<from@x.test>", "RCPT TO:<to@x.test>", "DATA"},
               kDataLines,
               {"QUIT", "<close_notify>"}}),
       "",
       "user"},
      {"STARTTLS answered 454",
       {kGreeting, ehloTls, "454 4.7.0 TLS not available\r\n"},
       {"EHLO client.test", "STARTTLS"},
       texts::kStartTlsRefused},
      {"handshake fails",
       {kGreeting, ehloTls, "220 go ahead\r\n"},
       {"EHLO client.test", "STARTTLS", "<handshake failed>"},
       texts::kTlsHandshakeFailed,
       "",
       {"to@x.test"},
       true},
      {"PLAIN only: no AUTH, MAIL FROM decides",
       {kGreeting, "250-mx.test\r\n250 AUTH PLAIN CRAM-MD5\r\n", "530 5.7.0 Authentication required\r\n"},
       {"EHLO client.test", "MAIL FROM:<from@x.test>"},
       "5.7.0 Authentication required",
       "user"},
      {"old AUTH= form announces LOGIN; user accepted at once",
       {kGreeting, "250-mx.test\r\n250 auth=login\r\n", "334 VXNlcm5hbWU6\r\n", "235 ok\r\n", kOk, kOk, kGoAhead,
        kOk, kBye},
       Concat({{"EHLO client.test", "AUTH LOGIN", "dXNlcg==", "MAIL FROM:<from@x.test>", "RCPT TO:<to@x.test>",
                "DATA"},
               kDataLines,
               {"QUIT"}}),
       "",
       "user"},
      {"no user: no AUTH even when LOGIN is offered",
       {kGreeting, ehloAuth, kOk, kOk, kGoAhead, kOk, kBye},
       Concat({PlainUntilData(), kDataLines, {"QUIT"}}),
       ""},
      {"AUTH LOGIN not answered with 334: no credentials sent",
       {kGreeting, ehloAuth, "504 5.5.4 mechanism unavailable\r\n"},
       {"EHLO client.test", "AUTH LOGIN"},
       "5.5.4 mechanism unavailable",
       "user"},
      {"password refused",
       {kGreeting, ehloAuth, "334 VXNlcm5hbWU6\r\n", "334 UGFzc3dvcmQ6\r\n",
        "535 5.7.8 Authentication credentials invalid\r\n"},
       {"EHLO client.test", "AUTH LOGIN", "dXNlcg==", "cGFzcw=="},
       "5.7.8 Authentication credentials invalid",
       "user"},
      {"MAIL FROM refused: no RSET",
       {kGreeting, kEhloPlain, "550 5.7.1 Sender rejected\r\n"},
       {"EHLO client.test", "MAIL FROM:<from@x.test>"},
       "5.7.1 Sender rejected"},
      {"second of three recipients refused: RSET, no DATA",
       {kGreeting, kEhloPlain, kOk, kOk, "550 5.1.1 <b@x.test>: Recipient address rejected\r\n", kOk},
       {"EHLO client.test", "MAIL FROM:<from@x.test>", "RCPT TO:<a@x.test>", "RCPT TO:<b@x.test>", "RSET"},
       "5.1.1 <b@x.test>: Recipient address rejected",
       "",
       {"a@x.test", "b@x.test", "c@x.test"}},
      {"251 counts as accepted",
       {kGreeting, kEhloPlain, kOk, "251 2.1.5 will forward\r\n", kOk, kGoAhead, kOk, kBye},
       Concat({{"EHLO client.test", "MAIL FROM:<from@x.test>", "RCPT TO:<a@x.test>", "RCPT TO:<b@x.test>", "DATA"},
               kDataLines,
               {"QUIT"}}),
       "",
       "",
       {"a@x.test", "b@x.test"}},
      {"DATA refused: RSET",
       {kGreeting, kEhloPlain, kOk, kOk, "554 5.5.1 Error: no valid recipients\r\n", kOk},
       Concat({PlainUntilData(), {"RSET"}}),
       "5.5.1 Error: no valid recipients"},
      {"message refused after the final dot: RSET",
       {kGreeting, kEhloPlain, kOk, kOk, kGoAhead, "451 4.3.0 try later\r\n", kOk},
       Concat({PlainUntilData(), kDataLines, {"RSET"}}),
       "4.3.0 try later"},
      {"multi-line refusal: its lines joined",
       {kGreeting, kEhloPlain, "550-5.7.1 first line\r\n550 5.7.1 second line\r\n"},
       {"EHLO client.test", "MAIL FROM:<from@x.test>"},
       "5.7.1 first line 5.7.1 second line"},
      {"MAIL FROM answered with lines of different codes: refused, no RSET",
       {kGreeting, kEhloPlain, "550-5.7.1 blocked\r\n250 ok\r\n"},
       {"EHLO client.test", "MAIL FROM:<from@x.test>"},
       "5.7.1 blocked ok"},
      {"the message answered with lines of different codes: not delivered",
       {kGreeting, kEhloPlain, kOk, kOk, kGoAhead, "554-5.6.0 rejected\r\n250 2.0.0 queued\r\n"},
       Concat({PlainUntilData(), kDataLines}),
       "5.6.0 rejected 2.0.0 queued"},
      {"354 and at once 250: the message is not finished",
       {kGreeting, kEhloPlain, kOk, kOk, kGoAhead + kOk},
       PlainUntilData(),
       std::string(texts::kEarlyReply) + ": 2.0.0 OK"},
      // With PIPELINING the server gets the envelope in one go (a write the replies below
      // can only answer together) and answers in order; the outcome is the same.
      {"PIPELINING: the envelope at once, DATA after its replies",
       {kGreeting, ehloPipe, kOk + kOk + kOk + kOk, kGoAhead, kOk, kBye},
       Concat({envelopeAbc, {"DATA"}, kDataLines, {"QUIT"}}),
       "",
       "",
       abc},
      {"PIPELINING: MAIL FROM refused, no RSET",
       {kGreeting, ehloPipe,
        "550 5.7.1 Sender rejected\r\n503 5.5.1 need MAIL\r\n503 5.5.1 need MAIL\r\n503 5.5.1 need MAIL\r\n"},
       envelopeAbc,
       "5.7.1 Sender rejected",
       "",
       abc},
      {"PIPELINING: first recipient refused: RSET, no DATA",
       {kGreeting, ehloPipe, kOk + "550 5.1.1 <a@x.test>: unknown\r\n" + kOk + kOk, kOk},
       Concat({envelopeAbc, {"RSET"}}),
       "5.1.1 <a@x.test>: unknown",
       "",
       abc},
      {"PIPELINING: second recipient refused: RSET, no DATA",
       {kGreeting, ehloPipe, kOk + kOk + "451 4.3.0 try <b@x.test> later\r\n" + kOk, kOk},
       Concat({envelopeAbc, {"RSET"}}),
       "4.3.0 try <b@x.test> later",
       "",
       abc},
      {"PIPELINING: last recipient refused: RSET, no DATA",
       {kGreeting, ehloPipe, kOk + kOk + kOk + "550 5.1.1 <c@x.test>: unknown\r\n", kOk},
       Concat({envelopeAbc, {"RSET"}}),
       "5.1.1 <c@x.test>: unknown",
       "",
       abc},
      {"server closes after EHLO",
       {kGreeting, kEhloPlain},
       {"EHLO client.test", "MAIL FROM:<from@x.test>"},
       texts::kConnectionClosed},
      {"server closes instead of answering QUIT: the message is delivered",
       {kGreeting, kEhloPlain, kOk, kOk, kGoAhead, kOk},
       Concat({PlainUntilData(), kDataLines, {"QUIT"}}),
       ""},
      {"QUIT answered oddly: still delivered",
       {kGreeting, kEhloPlain, kOk, kOk, kGoAhead, kOk, "500 what\r\n"},
       Concat({PlainUntilData(), kDataLines, {"QUIT"}}),
       ""},
  };
}

void WriteTestMessage(TDataSink& out) {
  out.Write("Subject: t\r\n\r\nli");
  out.Write("ne\r\n");
  out.Write(".dot\r\n");
}

TEST(SmtpSession, DialogueTableWithRepliesSplitAtEveryOffset) {
  for (const TSessionCase& c : Cases()) {
    const std::size_t total = std::accumulate(c.server.begin(), c.server.end(), std::size_t{0},
                                              [](std::size_t n, const std::string& s) { return n + s.size(); });
    for (std::size_t cut = 0; cut <= total; ++cut) {
      SCOPED_TRACE(c.name + ", replies cut at " + std::to_string(cut));
      TScriptedStream stream(c.server, cut);
      TOneSend session(stream, [&](net::TByteStream&) {
        return std::make_unique<TPassThroughTls>(stream, c.handshakeFails);
      });
      TOneSendStruct envelope{"client.test", c.user, "pass", "from@x.test", c.recipients};
      std::string error;
      try {
        session.Send(envelope, WriteTestMessage);
      } catch (const ESmtpError& e) {
        error = e.what();
      }
      EXPECT_EQ(error, c.error);
      EXPECT_EQ(stream.Lines(), c.expected);
      if (HasFailure()) return;
    }
  }
}

TEST(SmtpSession, StartTlsOnlyOnceEvenWhenOfferedAgain) {
  TScriptedStream stream({kGreeting, "250-mx\r\n250 STARTTLS\r\n", "220 go\r\n", "250-mx\r\n250 STARTTLS\r\n", kOk,
                          kOk, kGoAhead, kOk, kBye},
                         0);
  int starts = 0;
  TOneSend session(stream, [&](net::TByteStream&) {
    ++starts;
    return std::make_unique<TPassThroughTls>(stream, false);
  });
  session.Send({"client.test", "", "", "from@x.test", {"to@x.test"}}, WriteTestMessage);
  EXPECT_EQ(starts, 1);
  EXPECT_TRUE(session.TlsActive());
}

TEST(SmtpSession, MessageFailureLeavesTheDataUnterminated) {
  TScriptedStream stream({kGreeting, kEhloPlain, kOk, kOk, kGoAhead, kOk, kBye}, 0);
  TOneSend session(stream, nullptr);
  const auto failingWriter = [](TDataSink& out) {
    out.Write("Subject: t\r\n\r\nfirst part\r\n");
    throw EInOutError("cannot read /missing/file.pdf");
  };
  try {
    session.Send({"client.test", "", "", "from@x.test", {"to@x.test"}}, failingWriter);
    FAIL() << "the send must fail";
  } catch (const EInOutError& e) {
    EXPECT_STREQ(e.what(), "cannot read /missing/file.pdf");
  }
  // Whatever part of the text went out, neither the end-of-data mark nor another
  // command followed it.
  const std::vector<std::string> lines = stream.Lines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4), PlainUntilData());
  for (std::size_t i = 4; i < lines.size(); ++i) {
    EXPECT_NE(lines[i], ".");
    EXPECT_NE(lines[i], "QUIT");
    EXPECT_NE(lines[i], "RSET");
  }
}

TEST(SmtpSession, PlainTextQueuedBehindTheStartTlsReplyIsRefused) {
  // The bytes after the 220 arrive together with it: they would otherwise be read as
  // replies inside the protected session.
  TScriptedStream stream({kGreeting, "250-mx\r\n250 STARTTLS\r\n", "220 go ahead\r\n250-injected\r\n"}, 0);
  bool started = false;
  TOneSend session(stream, [&](net::TByteStream&) {
    started = true;
    return std::make_unique<TPassThroughTls>(stream, false);
  });
  try {
    session.Send({"client.test", "", "", "from@x.test", {"to@x.test"}}, WriteTestMessage);
    FAIL() << "the send must fail";
  } catch (const ESmtpError& e) {
    EXPECT_STREQ(e.what(), texts::kTlsHandshakeFailed);
  }
  EXPECT_FALSE(started);
  EXPECT_EQ(stream.Lines(), (std::vector<std::string>{"EHLO client.test", "STARTTLS"}));
}

TEST(SmtpSession, DotTransparencyAcrossPiecesOfAnySize) {
  // Dots at line starts in every position relative to the pieces, and no final line end.
  const std::string text = ".a\r\n..b\r\nc.\r\n.\r\n\r\n.d\n.e";
  const std::string wire = "..a\r\n...b\r\nc.\r\n..\r\n\r\n..d\n..e\r\n.\r\n";
  for (std::size_t piece = 1; piece <= text.size(); ++piece) {
    SCOPED_TRACE("pieces of " + std::to_string(piece));
    TScriptedStream stream({kGreeting, kEhloPlain, kOk, kOk, kGoAhead, kOk, kBye}, 0);
    TOneSend session(stream, nullptr);
    session.Send({"client.test", "", "", "from@x.test", {"to@x.test"}}, [&](TDataSink& out) {
      for (std::size_t at = 0; at < text.size(); at += piece) out.Write(std::string_view(text).substr(at, piece));
    });
    const std::string& written = stream.Written();
    const std::size_t start = written.find("DATA\r\n") + 6;
    EXPECT_EQ(written.substr(start, wire.size()), wire);
  }
}

TEST(SmtpSession, TheObserverSeesEveryLineInOrderWithTheSecretsMasked) {
  const std::string ehloAuthPipe = "250-mx.test\r\n250-AUTH LOGIN\r\n250 PIPELINING\r\n";
  struct TObserverCase {
    std::string name;
    std::vector<std::string> server;
    std::vector<std::string> recipients;
    std::vector<std::string> told;  // "S: " reply lines and "C: " commands, in order
    std::string accepted;           // the reply Send returns; empty when it fails
  } cases[] = {
      {"login, pipelined envelope, a lone CR inside the last reply",
       {kGreeting, ehloAuthPipe, "334 VXNlcm5hbWU6\r\n", "334 UGFzc3dvcmQ6\r\n", "235 2.7.0 Accepted\r\n",
        "250 sender ok\r\n250 first ok\r\n250 second ok\r\n", kGoAhead, "250 2.0.0 queued as\rX1\r\n", kBye},
       {"a@x.test", "b@x.test"},
       {"S: 220 mx.test ESMTP", "C: EHLO client.test", "S: 250-mx.test", "S: 250-AUTH LOGIN", "S: 250 PIPELINING",
        "C: AUTH LOGIN", "S: 334 VXNlcm5hbWU6", "C: ********", "S: 334 UGFzc3dvcmQ6", "C: ********",
        "S: 235 2.7.0 Accepted", "C: MAIL FROM:<from@x.test>", "C: RCPT TO:<a@x.test>", "C: RCPT TO:<b@x.test>",
        "S: 250 sender ok", "S: 250 first ok", "S: 250 second ok", "C: DATA",
        "S: 354 End data with <CR><LF>.<CR><LF>",
        // The message itself stays out: 26 bytes are what WriteTestMessage writes.
        std::string("C: . (") + texts::kMessageSizeNote + "26)", "S: 250 2.0.0 queued as\rX1", "C: QUIT",
        "S: 221 Bye"},
       "250 2.0.0 queued as\rX1"},
      {"a refused recipient, the reset after it, a reply without text",
       {kGreeting, kEhloPlain, kOk, "550 5.1.1 unknown\r\n", "250\r\n"},
       {"to@x.test"},
       {"S: 220 mx.test ESMTP", "C: EHLO client.test", "S: 250-mx.test", "S: 250 8BITMIME",
        "C: MAIL FROM:<from@x.test>", "S: 250 2.0.0 OK", "C: RCPT TO:<to@x.test>", "S: 550 5.1.1 unknown", "C: RSET",
        "S: 250"},
       ""},
  };
  for (const TObserverCase& c : cases) {
    SCOPED_TRACE(c.name);
    TScriptedStream stream(c.server, 0);
    TOneSend session(stream, nullptr);
    std::vector<std::string> told;
    session.SetObserver([&](TSmtpDialogueSide side, std::string_view line) {
      told.push_back(DialogueLineText(side, line));
    });
    std::string accepted;
    try {
      accepted = session.Send({"client.test", "user", "pass", "from@x.test", c.recipients}, WriteTestMessage)
                     .CodeAndText();
    } catch (const ESmtpError&) {
    }
    EXPECT_EQ(told, c.told);
    EXPECT_EQ(accepted, c.accepted);
  }
}

}  // namespace
}  // namespace eqd::smtp
