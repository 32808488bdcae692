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

TEST(MailMessageTest, AddressesKeepToWhatSmtpAllows) {
  const std::string local64(64, 'l'), label63(63, 'd');
  // 63 + 1 + 63 + 1 + 63 + 1 + 61 = 253 octets: with "l@" a whole address of 255.
  const std::string domain253 = label63 + '.' + label63 + '.' + label63 + '.' + std::string(61, 'd');
  const struct {
    std::string Address;
    bool Accepted;
  } cases[] = {
      {local64 + "@x.ru", true},
      {local64 + "l@x.ru", false},
      {"l@" + domain253.substr(2), true},  // 254 in all
      {"l@" + domain253, false},           // 255 in all
      {std::string(1500, 'a') + "@x.ru", false},
      {std::string(65, 'p'), false},  // no "@": all local part
      {"иван@x.ru", true},            // 8 octets of UTF-8
      {std::string(33, 'a') + "иииииииииииииииии@x.ru", false},  // 33 + 34 octets before "@"
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Address.substr(0, 20));
    try {
      const TMailMessageStruct m = PrepareMailMessage("me@x.ru", c.Address, "", "", "s", "b", {});
      EXPECT_TRUE(c.Accepted);
      EXPECT_EQ(m.EnvelopeRecipients(), std::vector<std::string>{c.Address});
    } catch (const EDriverError& e) {
      EXPECT_FALSE(c.Accepted);
      EXPECT_EQ(std::string(e.what()),
                "Слишком длинный адрес электронной почты: \"" + c.Address +
                    "\". SMTP допускает не более 64 байт до \"@\", 255 байт после и 254 байт во всём адресе");
    }
  }
}

TEST(MailMessageTest, InternationalDomainsGoAsALabelsInTheEnvelopeAndTheHeader) {
  const TMailMessageStruct m = PrepareMailMessage(
      "Робот <robot@ПРИМЕР.РФ>", "Иван <ivan@пример.рф>; иван@почта.рф", "a@Bücher.example", "b@xn--e1afmkfd.xn--p1ai",
      "s", "b", {});
  EXPECT_EQ(m.EnvelopeSender(), "robot@xn--e1afmkfd.xn--p1ai");
  EXPECT_EQ(m.From.DisplayName, "Робот");
  EXPECT_EQ(m.ReplyTo[0].Address, "robot@xn--e1afmkfd.xn--p1ai");
  EXPECT_EQ(m.EnvelopeRecipients(), (std::vector<std::string>{"ivan@xn--e1afmkfd.xn--p1ai", "иван@xn--80a1acny.xn--p1ai",
                                                              "a@xn--bcher-kva.example", "b@xn--e1afmkfd.xn--p1ai"}));
  EXPECT_EQ(m.To[0].Address, "ivan@xn--e1afmkfd.xn--p1ai");
  // Only a local part beyond ASCII needs the server's SMTPUTF8.
  EXPECT_TRUE(m.NeedsSmtpUtf8());
  EXPECT_FALSE(PrepareMailMessage("robot@пример.рф", "ivan@пример.рф", "", "", "s", "b", {}).NeedsSmtpUtf8());
  EXPECT_TRUE(PrepareMailMessage("me@x.ru, отдел@x.ru", "a@x.ru", "", "", "s", "b", {}).NeedsSmtpUtf8());  // Reply-To

  std::string longLabel;  // an A-label of more than 63 octets
  for (int i = 0; i < 60; ++i) longLabel += "д";
  const std::pair<std::string, std::string> refused[] = {
      {"a@" + longLabel + ".рф",
       "Домен адреса электронной почты не является допустимым международным именем (IDNA): \"a@" + longLabel + ".рф\""},
      {"a@☃\u200d.рф", "Домен адреса электронной почты не является допустимым международным именем (IDNA): \"a@☃\u200d.рф\""},
      {"a@\xD0\xBF\xFF.рф",
       "Домен адреса электронной почты не является допустимым международным именем (IDNA): \"a@\xD0\xBF\\xFF.рф\""},
      {"\xD0\xBF\xD0@x.ru", "Некорректный адрес электронной почты: \"\xD0\xBF\\xD0@x.ru\""},  // a header must be UTF-8
  };
  for (const auto& [address, message] : refused) {
    try {
      PrepareMailMessage("me@x.ru", address, "", "", "s", "b", {});
      ADD_FAILURE() << "accepted " << address;
    } catch (const EDriverError& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
  }
}

TEST(MailMessageTest, AttachmentHeaderValuesAreCheckedOnce) {
  const struct {
    std::string ContentType, ContentID, Error;
  } cases[] = {
      {"image/png", "<logo@x>", ""},
      {"image/png", std::string(kMaxContentIdLength, 'i'), ""},
      {std::string(kMaxContentTypeLength, 't'), "id", ""},
      {"image/png\x0B", "id", "Недопустимый тип содержимого вложения: \"image/png\\x0B\". Допустимы только печатные символы ASCII"},
      {"image/png", "\x1B[31mred", "Недопустимый идентификатор содержимого вложения: \"\\x1B[31mred\". Допустимы только печатные символы ASCII"},
      {"image/png", "лого", "Недопустимый идентификатор содержимого вложения: \"лого\". Допустимы только печатные символы ASCII"},
      {"image/\xFFpng", "id", "Недопустимый тип содержимого вложения: \"image/\\xFFpng\". Допустимы только печатные символы ASCII"},
      {"image/png", "a\tb", "Недопустимый идентификатор содержимого вложения: \"a\\x09b\". Допустимы только печатные символы ASCII"},
      {"image/png", std::string(2006, 'i'), "Слишком длинный идентификатор содержимого вложения: 2006 байт, допустимо не более 986"},
      {std::string(984, 't'), "id", "Слишком длинный тип содержимого вложения: 984 байт, допустимо не более 983"},
  };
  for (const auto& c : cases) EXPECT_EQ(AttachmentHeaderValueError(c.ContentType, c.ContentID), c.Error) << c.Error;

  // Given straight to the composer, control characters become blanks as line breaks
  // always did; what still cannot go into the header is refused.
  const TMailMessageStruct m = PrepareMailMessage("me@x.ru", "a@x.ru", "", "", "s", "b", {{"/a.png", "image/png\x0B", "\x1B" "id"}});
  EXPECT_EQ(m.Attachments[0].ContentType, "image/png ");
  EXPECT_EQ(m.Attachments[0].ContentID, " id");
  EXPECT_THROW(PrepareMailMessage("me@x.ru", "a@x.ru", "", "", "s", "b", {{"/a.png", "image/png", "лого"}}), EDriverError);
}

}  // namespace
}  // namespace eqd
