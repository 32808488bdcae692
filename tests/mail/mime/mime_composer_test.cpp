#include "mail/mime/mime_composer.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "automation/errors.h"
#include "support/temp_dir.h"

namespace eqd {
namespace {

platform::ZonedTime FixedTime() { return {{2024, 3, 5, 9, 5, 3, 0}, 180}; }

// Boundaries "b1", "b2", ... in turn.
TBoundaryGenerator Numbered(std::vector<std::string> first = {}) {
  return [first, n = 0]() mutable {
    ++n;
    return n <= static_cast<int>(first.size()) ? first[n - 1] : "b" + std::to_string(n - first.size());
  };
}

// Files that open, hand out `good` bytes and then fail, as a disk going away would.
class TFailingFiles final : public TFileOpener {
 public:
  std::unique_ptr<TFileReader> Open(const std::string&) override {
    struct TReader final : TFileReader {
      bool Done = false;
      std::size_t Read(char* buffer, std::size_t size) override {
        if (Done) throw EInOutError("read failed");
        Done = true;
        std::fill_n(buffer, std::min<std::size_t>(size, 10), 'x');
        return std::min<std::size_t>(size, 10);
      }
    };
    return std::make_unique<TReader>();
  }
};

TEST(MimeComposerTest, ComposesTheWholeMessageByteForByte) {
  test::TTempDir folder;
  const std::string logo = folder.Write("logo.png", "PNG\x89 data");
  const std::string report = folder.Write("Отчёт.pdf", std::string(60, 'R'));
  const TMailMessageStruct m = PrepareMailMessage(
      "Отдел продаж <sales@x.ru>", "a@x.ru; Pyotr <p@x.ru>;", "c@x.ru;", "hidden@x.ru;", "Счёт №5 ready",
      "<p>Привет</p>\r\n.dot", {{logo, "image/png", "<logo@x>"}, {report, "text/plain", ""}});

  const std::string expected =
      "From: =?windows-1251?B?zvLk5esg7/Du5ODm?= <sales@x.ru>\r\n"
      "Subject: =?windows-1251?B?0fe48iC5NQ==?= ready\r\n"
      "To: a@x.ru, Pyotr <p@x.ru>\r\n"
      "Cc: c@x.ru\r\n"
      "Content-Type: multipart/mixed; charset=\"windows-1251\"; boundary=\"b1\"\r\n"
      "MIME-Version: 1.0\r\n"
      "Content-Transfer-Encoding: 8bit\r\n"
      "Reply-To: =?windows-1251?B?zvLk5esg7/Du5ODm?= <sales@x.ru>\r\n"
      "Date: Tue, 5 Mar 2024 09:05:03 +0300\r\n"
      "Message-ID: <m1@x.ru>\r\n"
      "Priority: urgent\r\n"
      "X-Priority: 1\r\n"
      "Importance: high\r\n"
      "\r\n"
      "\r\n"
      "<p>\xCF\xF0\xE8\xE2\xE5\xF2</p>\r\n"
      ".dot\r\n"
      "\r\n"
      "--b1\r\n"
      "Content-Type: multipart/related; type=\"multipart/alternative\"; boundary=\"b2\"\r\n"
      "\r\n"
      "--b2\r\n"
      "Content-Type: multipart/alternative; boundary=\"b3\"\r\n"
      "\r\n"
      "--b3\r\n"
      "Content-Type: text/html; charset=\"windows-1251\"\r\n"
      "Content-Transfer-Encoding: quoted-printable\r\n"
      "Content-Disposition: inline\r\n"
      "\r\n"
      "<p>=CF=F0=E8=E2=E5=F2</p>\r\n"
      ".dot\r\n"
      "--b3--\r\n"
      "\r\n"
      "--b2\r\n"
      "Content-Type: image/png; name=\"logo.png\"\r\n"
      "Content-Transfer-Encoding: base64\r\n"
      "Content-Disposition: attachment; filename=\"logo.png\"\r\n"
      "Content-ID: <logo@x>\r\n"
      "\r\n"
      "UE5HiSBkYXRh\r\n"
      "--b2--\r\n"
      "\r\n"
      "--b1\r\n"
      "Content-Type: application/pdf; name=\"=?windows-1251?B?zvL3uPIucGRm?=\"\r\n"
      "Content-Transfer-Encoding: base64\r\n"
      "Content-Disposition: attachment;\r\n"
      " filename*=UTF-8''%D0%9E%D1%82%D1%87%D1%91%D1%82.pdf;\r\n"
      " filename=\"=?windows-1251?B?zvL3uPIucGRm?=\"\r\n"
      "\r\n"
      "UlJSUlJSUlJSUlJSUlJSUlJSUlJSUlJSUlJSUlJSUlJSUlJSUlJSUlJSUlJSUlJSUlJSUlJSUlJS\r\n"
      "UlJS\r\n"
      "--b1--\r\n";
  EXPECT_EQ(ComposeMessage(m, DiskFiles(), FixedTime, Numbered(), [] { return std::string("m1"); }), expected);
}

TEST(MimeComposerTest, MessageWithoutBodyOrAttachmentsKeepsTheThreeLevels) {
  const TMailMessageStruct m = PrepareMailMessage("me@x.ru", "a@x.ru", "", "", "Hi", "", {});
  const std::string text = ComposeMessage(m, DiskFiles(), FixedTime, Numbered());
  const std::size_t body = text.find("\r\n\r\n") + 4;
  EXPECT_EQ(text.substr(body),
            "This is a multi-part message in MIME format\r\n"
            "--b1\r\nContent-Type: multipart/related; type=\"multipart/alternative\"; boundary=\"b2\"\r\n\r\n"
            "--b2\r\nContent-Type: multipart/alternative; boundary=\"b3\"\r\n\r\n"
            "--b3\r\nContent-Type: text/html; charset=\"windows-1251\"\r\n"
            "Content-Transfer-Encoding: quoted-printable\r\nContent-Disposition: inline\r\n\r\n"
            "\r\n--b3--\r\n\r\n--b2--\r\n\r\n--b1--\r\n");
}

TEST(MimeComposerTest, BoundariesNeverOccurInTheBody) {
  const TMailMessageStruct m = PrepareMailMessage("me@x.ru", "a@x.ru", "", "", "Hi", "see --b1 and b2", {});
  const std::string text = ComposeMessage(m, DiskFiles(), FixedTime, Numbered({"b1", "b2", "bb1"}));
  EXPECT_NE(text.find("boundary=\"bb1\""), std::string::npos);  // b1 and b2 are in the body, so skipped
  EXPECT_NE(text.find("boundary=\"b3\""), std::string::npos);
  EXPECT_NE(text.find("boundary=\"b4\""), std::string::npos);
}

TEST(MimeComposerTest, AnUnreadableAttachmentFailsHalfWayWithTheFileNamed) {
  test::TTempDir folder;
  const std::string missing = test::Utf8Path(folder.Path()) + "/missing.pdf";
  const TMailMessageStruct m =
      PrepareMailMessage("me@x.ru", "a@x.ru", "", "", "Hi", "<p>x</p>", {{missing, "", ""}});
  TMimeComposer composer(m, DiskFiles(), FixedTime, Numbered());
  std::string out;
  try {
    while (composer.Next(out)) {
    }
    FAIL() << "a missing file was sent";
  } catch (const EInOutError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Не удалось открыть файл вложения \"" + missing + "\": ", 0), 0u)
        << e.what();
  }
  EXPECT_NE(out.find("<p>x</p>"), std::string::npos);  // the error comes while the message is produced

  TFailingFiles failing;
  TMimeComposer broken(m, failing, FixedTime, Numbered());
  out.clear();
  EXPECT_THROW(
      while (broken.Next(out)) {}, EInOutError);
  EXPECT_NE(out.find("eHh4eHh4eHh4"), std::string::npos);  // what was read before the failure
}

TEST(MimeComposerTest, HeaderTextsFromInputCannotAddHeaderLines) {
  test::TTempDir folder;
  const std::string path = folder.Write("a\r\nX-Evil: 3.txt", "x");
  const TMailMessageStruct m = PrepareMailMessage(
      "\"Me\r\nX-Evil: 1\" <me@x.ru>", "a@x.ru", "", "", "Hi\r\nX-Evil: 2", "",
      {{path, "image/png\r\nX-Evil: 4", "<id>\r\nX-Evil: 5"}, {path, "", ""}});
  const std::string text = ComposeMessage(m, DiskFiles(), FixedTime, Numbered());
  EXPECT_EQ(text.find("\nX-Evil"), std::string::npos) << text;
  EXPECT_NE(text.find("Subject: Hi  X-Evil: 2\r\n"), std::string::npos);
  EXPECT_NE(text.find("Content-ID: <id>  X-Evil: 5\r\n"), std::string::npos);
  EXPECT_NE(text.find("filename=\"a  X-Evil: 3.txt\""), std::string::npos);
}

TEST(MimeComposerTest, FormatsDatesAsRfc5322) {
  const std::pair<platform::ZonedTime, const char*> cases[] = {
      {FixedTime(), "Tue, 5 Mar 2024 09:05:03 +0300"},
      {{{2000, 2, 29, 23, 59, 59, 999}, -330}, "Tue, 29 Feb 2000 23:59:59 -0530"},
      {{{2023, 1, 1, 0, 0, 0, 0}, 0}, "Sun, 1 Jan 2023 00:00:00 +0000"},
      {{{2025, 12, 31, 12, 0, 7, 0}, 600}, "Wed, 31 Dec 2025 12:00:07 +1000"},
  };
  for (const auto& [time, text] : cases) EXPECT_EQ(FormatMessageDate(time), text);
}

TEST(MimeComposerTest, EveryMessageHasItsOwnMessageIdInTheSendersDomain) {
  const TMailMessageStruct m = PrepareMailMessage("Робот <robot@пример.рф>", "a@x.ru", "", "", "Hi", "", {});
  const std::regex field("\r\nMessage-ID: <([0-9a-f]{32})@xn--e1afmkfd\\.xn--p1ai>\r\n");
  std::set<std::string> ids;
  for (int i = 0; i < 1000; ++i) {
    const std::string text = ComposeMessage(m, DiskFiles(), FixedTime, Numbered());
    std::smatch match;
    ASSERT_TRUE(std::regex_search(text, match, field)) << text.substr(0, 600);
    ids.insert(match[1]);
  }
  EXPECT_EQ(ids.size(), 1000u);

  const std::pair<const char*, const char*> domains[] = {
      {"a@x.ru", "x.ru"},       {"a@[192.0.2.1]", "[192.0.2.1]"}, {"\"a@b\"@x.ru", "x.ru"},
      {"postmaster", "localhost"}, {"a@", "localhost"},           {"a@\"b c\"", "localhost"},
      {"a@x..ru", "localhost"},  {"a@.x.ru", "localhost"},         {"a@[1.2]3]", "localhost"},
  };
  for (const auto& [address, domain] : domains) EXPECT_EQ(MessageIdDomain(address), domain) << address;
}

}  // namespace
}  // namespace eqd
