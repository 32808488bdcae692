#include "mail/mime/mail_message.h"

#include <gtest/gtest.h>

#include "automation/errors.h"

namespace eqd {
namespace {

struct TBadInput {
  std::string Sender, To, Cc, Bcc;
  std::string Message;  // the whole error text
};

TEST(MailMessageTest, RefusesBadAddressesBeforeAnythingIsSent) {
  const TBadInput cases[] = {
      {"me@x.ru", "a@x.ru\r\nRCPT TO:evil@x.ru", "", "",
       "Некорректный адрес электронной почты: \"a@x.ru\\r\\nRCPT TO:evil@x.ru\""},
      {"me@x.ru", "Ann <a@x\n.ru>", "", "", "Некорректный адрес электронной почты: \"a@x\\n.ru\""},
      {"me@x.ru", "", "", std::string("b@x.ru\0", 7), "Некорректный адрес электронной почты: \"b@x.ru\\0\""},
      {"me@x.ru", "ok@x.ru", "Name <a@x.ru", "", "Некорректный адрес электронной почты: \"Name <a@x.ru\""},
      {"me@x.ru", "Name Only <>", "", "", "Некорректный адрес электронной почты: \"\""},
      {"me\r\n@x.ru", "a@x.ru", "", "", "Некорректный адрес электронной почты: \"me\\r\\n@x.ru\""},
      {" ; ", "a@x.ru", "", "", "Не задан EMail отправителя"},
      {"me@x.ru", " ;;", "(nobody)", "", "Не заполнен получатель"},
  };
  for (const TBadInput& c : cases) {
    try {
      PrepareMailMessage(c.Sender, c.To, c.Cc, c.Bcc, "s", "b", {});
      ADD_FAILURE() << "accepted " << c.To;
    } catch (const EDriverError& e) {
      EXPECT_EQ(std::string(e.what()), c.Message);
    }
  }
}

TEST(MailMessageTest, KeepsHeaderTextsOnOneLineAndListsTheEnvelope) {
  const TMailMessageStruct m = PrepareMailMessage(
      "\"Sales\r\nBcc: x@evil.ru\" <sales@x.ru>, second@x.ru", "a@x.ru; b@x.ru\r\n;", "c@x.ru;", "d@x.ru;",
      "Hello\r\nBcc: x@evil.ru", "<p>body\r\n</p>",
      {{"/tmp/a.png", "image/png\r\nX-Evil: 1", "<logo>\n"}, {"/tmp/b.pdf", "", ""}});
  EXPECT_EQ(m.From.DisplayName, "Sales  Bcc: x@evil.ru");
  EXPECT_EQ(m.EnvelopeSender(), "sales@x.ru");
  ASSERT_EQ(m.ReplyTo.size(), 2u);
  EXPECT_EQ(m.Subject, "Hello  Bcc: x@evil.ru");
  EXPECT_EQ(m.BodyText, "<p>body\r\n</p>");  // the body keeps its lines
  EXPECT_EQ(m.Attachments[0].ContentType, "image/png  X-Evil: 1");
  EXPECT_EQ(m.Attachments[0].ContentID, "<logo> ");
  EXPECT_TRUE(m.Attachments[0].IsInline());
  EXPECT_FALSE(m.Attachments[1].IsInline());
  // Line breaks around an address are blanks around it, not part of it.
  EXPECT_EQ(m.EnvelopeRecipients(), (std::vector<std::string>{"a@x.ru", "b@x.ru", "c@x.ru", "d@x.ru"}));
}

}  // namespace
}  // namespace eqd
