// The connection apart from the transaction: a login by the mechanism asked for, several
// transactions on one connection, the probe. Scripted replies, no network.
#include "mail/smtp/smtp_connection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail/smtp/smtp_error.h"
#include "mail/smtp/smtp_transaction.h"
#include "scripted_stream.h"

namespace eqd::smtp {
namespace {

using testing::TScriptedStream;

const std::string kGreeting = "220 mx.test ESMTP\r\n";
const std::string kEhloAuth = "250-mx.test\r\n250 AUTH LOGIN PLAIN\r\n";
const std::string kOk = "250 2.0.0 OK\r\n";
const std::string kGoAhead = "354 go ahead\r\n";

void WriteLine(TDataSink& out) { out.Write("Subject: t\r\n\r\nline\r\n"); }

TEST(SmtpConnection, LogsInWithTheMechanismAskedFor) {
  const std::vector<sasl::TSaslMechanismId> plain = {sasl::TSaslMechanismId::smPlain};
  struct TCase {
    std::string Name;
    std::vector<std::string> Server;
    std::vector<std::string> Sent;  // what the server got after EHLO
    std::vector<std::string> Told;  // the client's login lines as the observer saw them
    std::string Error;
  } cases[] = {
      {"PLAIN, accepted at once",
       {kGreeting, kEhloAuth, "235 2.7.0 Accepted\r\n"},
       {"AUTH PLAIN AHVzZXIAcGFzcw=="},
       {"AUTH PLAIN ********"},
       ""},
      {"PLAIN, a challenge after it: no more lines, the challenge is the refusal",
       {kGreeting, kEhloAuth, "334 \r\n"},
       {"AUTH PLAIN AHVzZXIAcGFzcw=="},
       {"AUTH PLAIN ********"},
       "334"},
      {"PLAIN refused",
       {kGreeting, kEhloAuth, "535 5.7.8 no\r\n"},
       {"AUTH PLAIN AHVzZXIAcGFzcw=="},
       {"AUTH PLAIN ********"},
       "5.7.8 no"},
      {"PLAIN not announced: no login",
       {kGreeting, "250-mx.test\r\n250 AUTH LOGIN\r\n"},
       {},
       {},
       ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TScriptedStream stream(c.Server, 0);
    TSmtpConnection connection(stream, nullptr);
    std::vector<std::string> told;
    connection.SetObserver([&](TSmtpDialogueSide side, std::string_view line) {
      if (side == TSmtpDialogueSide::dsClient && line.rfind("EHLO", 0) != 0) told.emplace_back(line);
    });
    std::string error;
    try {
      connection.Open("client.test");
      connection.Authenticate({"user", "pass"}, plain);
    } catch (const ESmtpError& e) {
      error = e.what();
    }
    std::vector<std::string> sent = stream.Lines();
    sent.erase(sent.begin());  // EHLO
    EXPECT_EQ(sent, c.Sent);
    EXPECT_EQ(told, c.Told);
    EXPECT_EQ(error, c.Error);
  }
}

TEST(SmtpConnection, CarriesOneTransactionAfterAnother) {
  TScriptedStream stream({kGreeting, kEhloAuth, "334 VXNlcm5hbWU6\r\n", "334 UGFzc3dvcmQ6\r\n", "235 ok\r\n", kOk, kOk,
                          kGoAhead, kOk, kOk, "550 5.1.1 unknown\r\n", kOk, "250 2.0.0 NOOP ok\r\n", kOk, kOk, kGoAhead, kOk,
                          "221 bye\r\n"},
                         0);
  TSmtpConnection connection(stream, nullptr);
  connection.Open("client.test");
  connection.Authenticate({"user", "pass"});
  EXPECT_EQ(TSmtpTransaction(connection).Send({"a@x.test", {"b@x.test"}, {}}, WriteLine).Code, 250);
  // A refused transaction resets, and the connection goes on.
  try {
    TSmtpTransaction(connection).Send({"a@x.test", {"nobody@x.test"}, {}}, WriteLine);
    ADD_FAILURE() << "the refusal was not reported";
  } catch (const ESmtpError& e) {
    EXPECT_STREQ(e.what(), "5.1.1 unknown");
  }
  EXPECT_TRUE(connection.Probe());
  EXPECT_EQ(TSmtpTransaction(connection).Send({"a@x.test", {"c@x.test"}, {"SIZE=24"}}, WriteLine).Code, 250);
  connection.Quit();
  EXPECT_EQ(stream.Lines(),
            (std::vector<std::string>{"EHLO client.test", "AUTH LOGIN", "dXNlcg==", "cGFzcw==",
                                      "MAIL FROM:<a@x.test>", "RCPT TO:<b@x.test>", "DATA", "Subject: t", "", "line",
                                      ".", "MAIL FROM:<a@x.test>", "RCPT TO:<nobody@x.test>", "RSET", "NOOP",
                                      "MAIL FROM:<a@x.test> SIZE=24", "RCPT TO:<c@x.test>", "DATA", "Subject: t", "",
                                      "line", ".", "QUIT"}));
}

TEST(SmtpConnection, AProbeOfAConnectionThatIsGoneFails) {
  TScriptedStream stream({kGreeting, "250 mx.test\r\n"}, 0);
  TSmtpConnection connection(stream, nullptr);
  connection.Open("client.test");
  EXPECT_FALSE(connection.Probe());
}

}  // namespace
}  // namespace eqd::smtp
