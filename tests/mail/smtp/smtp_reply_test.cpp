#include "mail/smtp/smtp_reply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail/smtp/smtp_error.h"
#include "mail/smtp/smtp_texts.h"

namespace eqd::smtp {
namespace {

struct TReplyCase {
  std::string bytes;
  int code;
  std::vector<std::string> lines;
  std::string text;
};

// Feeds `bytes` split at `cut` and returns the first reply and how many bytes it used.
TSmtpReplyStruct ReadSplit(const std::string& bytes, std::size_t cut, std::size_t& used) {
  TSmtpReplyReader reader;
  used = reader.Feed(std::string_view(bytes).substr(0, cut));
  if (!reader.Complete()) used += reader.Feed(std::string_view(bytes).substr(used));
  EXPECT_TRUE(reader.Complete());
  return reader.Take();
}

TEST(SmtpReplyReader, ReadsRepliesSplitAtEveryOffset) {
  const std::vector<TReplyCase> cases = {
      {"220 mail.test ESMTP ready\r\n", 220, {"mail.test ESMTP ready"}, "mail.test ESMTP ready"},
      {"250-mail.test\r\n250-STARTTLS\r\n250 AUTH LOGIN PLAIN\r\n", 250,
       {"mail.test", "STARTTLS", "AUTH LOGIN PLAIN"}, "mail.test STARTTLS AUTH LOGIN PLAIN"},
      {"550-5.1.1 first\r\n550 5.1.1 second\r\n", 550, {"5.1.1 first", "5.1.1 second"},
       "5.1.1 first 5.1.1 second"},
      {"354\r\n", 354, {""}, "354"},                      // no text at all
      {"221 bye\n", 221, {"bye"}, "bye"},                 // bare LF line end
      {"334 VXNlcm5hbWU6\r\n", 334, {"VXNlcm5hbWU6"}, "VXNlcm5hbWU6"},
  };
  for (const TReplyCase& c : cases) {
    // Bytes of the next reply behind this one must stay unread.
    const std::string bytes = c.bytes + "250 next\r\n";
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
      SCOPED_TRACE(c.bytes + " cut at " + std::to_string(cut));
      std::size_t used = 0;
      const TSmtpReplyStruct reply = ReadSplit(bytes, cut, used);
      EXPECT_EQ(reply.Code, c.code);
      EXPECT_EQ(reply.Lines, c.lines);
      EXPECT_EQ(reply.Text(), c.text);
      EXPECT_EQ(used, c.bytes.size());
    }
  }
}

TEST(SmtpReplyReader, RefusesLinesThatAreNotReplies) {
  for (const std::string bad : {"22 short\r\n", "2x0 letters\r\n", "250+plus\r\n", "\r\n", "hello\r\n"}) {
    TSmtpReplyReader reader;
    try {
      reader.Feed(bad);
      ADD_FAILURE() << bad;
    } catch (const ESmtpError& e) {
      EXPECT_STREQ(e.what(), texts::kReplyMalformed);
    }
  }
}

TEST(SmtpReplyReader, RefusesAReplyWhoseLinesCarryDifferentCodesWithItsText) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"550-5.7.1 blocked\r\n250 ok\r\n", "5.7.1 blocked ok"},
      {"250-first\r\n250-second\r\n554 no\r\n", "first second no"},
      {"250-a\r\n251-b\r\n250 c\r\n", "a b c"},
  };
  for (const auto& [bytes, text] : cases) {
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
      SCOPED_TRACE(bytes + " cut at " + std::to_string(cut));
      TSmtpReplyReader reader;
      std::string error;
      try {
        const std::size_t used = reader.Feed(std::string_view(bytes).substr(0, cut));
        reader.Feed(std::string_view(bytes).substr(used));
      } catch (const ESmtpError& e) {
        error = e.what();
      }
      EXPECT_EQ(error, text);
    }
  }
}

TEST(SmtpReplyReader, StopsAServerThatSendsTooMuch) {
  {
    // One endless line: refused once it passes the line limit, without waiting for LF.
    TSmtpReplyReader reader;
    const std::string chunk(1000, 'x');
    std::string error;
    try {
      reader.Feed("250 ");
      for (int i = 0; i < 10; ++i) reader.Feed(chunk);
    } catch (const ESmtpError& e) {
      error = e.what();
    }
    EXPECT_EQ(error, texts::kReplyLineTooLong);
  }
  {
    // An endless multi-line reply of short lines: refused at the reply limit.
    TSmtpReplyReader reader;
    std::string error;
    std::size_t fed = 0;
    try {
      for (;;) fed += reader.Feed("250-SOMETHING SOMETHING\r\n");
    } catch (const ESmtpError& e) {
      error = e.what();
    }
    EXPECT_EQ(error, texts::kReplyTooLong);
    EXPECT_LE(fed, TSmtpReplyReader::kMaxReplySize);
  }
  {
    // A line just at the limit is fine.
    TSmtpReplyReader reader;
    const std::string line = "250 " + std::string(TSmtpReplyReader::kMaxLineSize - 6, 'y') + "\r\n";
    EXPECT_EQ(reader.Feed(line), line.size());
    EXPECT_TRUE(reader.Complete());
  }
}

}  // namespace
}  // namespace eqd::smtp
