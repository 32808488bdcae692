// What MAIL FROM carries from the server's extensions: SIZE= with the message's size and
// SMTPUTF8, and the message a server announced it will not take refused before MAIL FROM.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "mail/smtp/smtp_connection.h"
#include "mail/smtp/smtp_error.h"
#include "mail/smtp/smtp_texts.h"
#include "mail/smtp/smtp_transaction.h"
#include "scripted_stream.h"

namespace eqd::smtp {
namespace {

using testing::TScriptedStream;

const std::string kGreeting = "220 mx.test ESMTP\r\n";
const std::string kOk = "250 2.0.0 OK\r\n";
const std::string kGoAhead = "354 go ahead\r\n";

struct TParameterCase {
  std::string name;
  std::string extensions;  // the EHLO reply's lines after the first, each ending in CR LF
  bool smtpUtf8 = false;
  std::vector<std::string> expected;  // the client's lines after EHLO
  std::string error;                  // empty when the message is delivered
  int sizeAsked = 0;                  // how often the transaction asked for the size
};

TEST(MailParameters, FromTheServersExtensions) {
  const std::vector<std::string> delivered = {"RCPT TO:<to@x.test>", "DATA", "Subject: t", "", "body", "."};
  const auto withMail = [&](const std::string& mailFrom) {
    std::vector<std::string> lines = {mailFrom};
    lines.insert(lines.end(), delivered.begin(), delivered.end());
    return lines;
  };
  const std::string tooLarge = std::string(texts::kMessageTooLarge) + "20" + texts::kServerSizeLimit + "19";
  const std::vector<TParameterCase> cases = {
      {"no extensions: MAIL FROM as it always was", "", false, withMail("MAIL FROM:<from@x.test>"), "", 0},
      {"SIZE with a limit the message fits", "250-SIZE 20\r\n", false,
       withMail("MAIL FROM:<from@x.test> SIZE=20"), "", 1},
      {"SIZE without a limit", "250-SIZE\r\n", false, withMail("MAIL FROM:<from@x.test> SIZE=20"), "", 1},
      {"SIZE 0: no limit", "250-size 0\r\n", false, withMail("MAIL FROM:<from@x.test> SIZE=20"), "", 1},
      {"SIZE with a limit that is not a number", "250-SIZE lots\r\n", false,
       withMail("MAIL FROM:<from@x.test> SIZE=20"), "", 1},
      {"SIZE limit one octet short: nothing sent", "250-SIZE 19\r\n", false, {}, tooLarge, 1},
      {"SMTPUTF8 announced", "250-SMTPUTF8\r\n", true, withMail("MAIL FROM:<from@x.test> SMTPUTF8"), "", 0},
      {"SMTPUTF8 announced, not needed", "250-SMTPUTF8\r\n", false, withMail("MAIL FROM:<from@x.test>"), "", 0},
      {"SMTPUTF8 needed, not announced: nothing sent, size never asked", "250-SIZE 1\r\n", true, {},
       texts::kSmtpUtf8NotAnnounced, 0},
      {"both", "250-SIZE 1000\r\n250-SMTPUTF8\r\n", true,
       withMail("MAIL FROM:<from@x.test> SMTPUTF8 SIZE=20"), "", 1},
  };
  for (const TParameterCase& c : cases) {
    SCOPED_TRACE(c.name);
    TScriptedStream stream({kGreeting, "250-mx.test\r\n" + c.extensions + "250 8BITMIME\r\n", kOk, kOk, kGoAhead, kOk},
                           0);
    TSmtpConnection connection(stream, nullptr);
    connection.Open("client.test");
    int sizeAsked = 0;
    const TSmtpMessageNeedsStruct needs{[&] {
                                          ++sizeAsked;
                                          return std::uint64_t{20};
                                        },
                                        c.smtpUtf8};
    std::string error;
    try {
      TSmtpTransaction(connection)
          .Send({"from@x.test", {"to@x.test"}, {}},
                [](TDataSink& out) { out.Write("Subject: t\r\n\r\nbody\r\n"); }, needs);
    } catch (const ESmtpError& e) {
      error = e.what();
    }
    EXPECT_EQ(error, c.error);
    std::vector<std::string> lines = stream.Lines();
    ASSERT_FALSE(lines.empty());
    lines.erase(lines.begin());  // EHLO
    EXPECT_EQ(lines, c.expected);
    EXPECT_EQ(sizeAsked, c.sizeAsked);
  }
}

}  // namespace
}  // namespace eqd::smtp
