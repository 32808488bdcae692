// The size of a message known before it is sent (for SIZE= of MAIL FROM): exactly the
// octets the composer then produces and a real server receives.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <regex>

#include "automation/errors.h"
#include "mail/mime/mime_composer.h"
#include "mail/mime/mime_texts.h"
#include "mail/mime/text_format.h"
#include "mail/smtp/device_sender.h"
#include "support/smtp_server_fixture.h"
#include "support/temp_dir.h"

namespace eqd {
namespace {

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(random() & 0xFF);
  return s;
}

// Size() first, then the message piece by piece, as a send runs.
std::pair<std::uint64_t, std::string> SizeAndText(TMimeComposer& composer) {
  const std::uint64_t size = composer.Size();
  std::string text;
  while (composer.Next(text)) {
  }
  return {size, text};
}

TEST(MessageSizeTest, SizeIsTheLengthOfWhatTheComposerProduces) {
  test::TTempDir folder;
  std::string longBody;
  for (int i = 0; i < 3000; ++i) longBody += "<p>Строка " + std::to_string(i) + " = итог\t </p>\r\n.точка\n";
  const std::string bodies[] = {"", "<p>x</p>\r\n.dot", longBody};
  // Around every Base64 group and line length, and around the composer's read chunk.
  std::vector<TAttachment> attachments;
  unsigned seed = 0;
  for (const std::size_t n : {0, 1, 2, 3, 4, 56, 57, 58, 114, 57 * 1024 - 1, 57 * 1024, 57 * 1024 + 1, 200'001}) {
    const std::string name = "f" + std::to_string(n) + (n % 2 ? ".bin" : "-отчёт.pdf");
    attachments.push_back({folder.Write(name, RandomBytes(n, ++seed)), n % 3 ? "" : "image/png", n % 3 ? "" : "id" + std::to_string(n)});
  }
  for (const std::string& body : bodies) {
    SCOPED_TRACE(body.size());
    const TMailMessageStruct m = PrepareMailMessage("Отдел <sales@пример.рф>", "a@x.ru; Иван <b@x.ru>", "c@x.ru", "d@x.ru",
                                                    "Счёт" + std::string(1500, ' ') + "№5", body, attachments);
    TMimeComposer composer(m, DiskFiles());
    const auto [size, text] = SizeAndText(composer);
    EXPECT_EQ(size, text.size());
  }
}

// Files whose size is counted by reading them through (the default of TFileReader).
class TCountedFiles final : public TFileOpener {
 public:
  explicit TCountedFiles(std::string bytes) : bytes_(std::move(bytes)) {}
  std::unique_ptr<TFileReader> Open(const std::string&) override {
    struct TReader final : TFileReader {
      std::string_view Rest;
      std::size_t Read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, Rest.size());
        std::copy_n(Rest.data(), n, buffer);
        Rest.remove_prefix(n);
        return n;
      }
    };
    auto reader = std::make_unique<TReader>();
    reader->Rest = bytes_;
    return reader;
  }

 private:
  std::string bytes_;
};

TEST(MessageSizeTest, ReadersThatCannotTellTheirSizeAreCounted) {
  TCountedFiles files(RandomBytes(100'000, 7));
  const TMailMessageStruct m = PrepareMailMessage("me@x.ru", "a@x.ru", "", "", "Hi", "<p>x</p>", {{"/a.bin", "", ""}});
  TMimeComposer composer(m, files);
  const auto [size, text] = SizeAndText(composer);
  EXPECT_EQ(size, text.size());
}

TEST(MessageSizeTest, AnAttachmentThatChangesSizeAfterItWasCountedFailsTheSend) {
  test::TTempDir folder;
  for (const bool grows : {true, false}) {
    const std::string path = folder.Write("a.bin", RandomBytes(1000, 1));
    const TMailMessageStruct m = PrepareMailMessage("me@x.ru", "a@x.ru", "", "", "Hi", "", {{path, "", ""}});
    TMimeComposer composer(m, DiskFiles());
    (void)composer.Size();
    if (grows)
      std::ofstream(path, std::ios::binary | std::ios::app) << "more";
    else
      std::ofstream(path, std::ios::binary | std::ios::trunc) << "less";
    std::string text;
    try {
      while (composer.Next(text)) {
      }
      ADD_FAILURE() << "a message of another size than announced was produced";
    } catch (const EInOutError& e) {
      EXPECT_EQ(std::string(e.what()), FormatText(mime_texts::kAttachmentChanged, {path}));
    }
  }
}

// The moment a received message's Date field names.
platform::ZonedTime DateOf(const std::string& message) {
  std::smatch m;
  const std::regex date("\r\nDate: \\w+, (\\d+) (\\w+) (\\d+) (\\d\\d):(\\d\\d):(\\d\\d) ([+-])(\\d\\d)(\\d\\d)\r\n");
  if (!std::regex_search(message, m, date)) throw std::runtime_error("no Date field");
  static const std::string kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
  platform::ZonedTime t;
  t.Local = {std::stoi(m[3]), static_cast<int>(kMonths.find(m[2])) / 3 + 1, std::stoi(m[1]),
             std::stoi(m[4]),  std::stoi(m[5]), std::stoi(m[6]), 0};
  t.UtcOffsetMinutes = (m[7] == "-" ? -1 : 1) * (std::stoi(m[8]) * 60 + std::stoi(m[9]));
  return t;
}

TEST(MessageSizeTest, SizeIsWhatARealServerReceives) {
  test::TSmtpServerProcess server;
  test::TTempDir folder;
  const std::string logo = folder.Write("logo.png", RandomBytes(5000, 3));
  const std::string report = folder.Write("Отчёт за март.pdf", RandomBytes(300'001, 4));
  const std::string body = "<p>Итоги</p>\r\n.a line that starts with a dot\r\n..two\r\n.\r\n<p>конец</p>";
  const std::string subject = "Отчёт" + std::string(1200, ' ') + "март";
  const std::vector<TAttachment> attachments = {{logo, "image/png", "<logo@x>"}, {report, "", ""}};

  TDevice device;
  device.FSmtpServerName = "localhost";
  device.FSmtpServerPort = server.Port();
  device.FSmtpServerUser = test::TSmtpServerOptions{}.User;
  device.FSmtpServerPassword = test::TSmtpServerOptions{}.Password;
  device.FUserEmail = "Отдел <sales@example.test>";
  device.SendMail("a@example.test", "", "", subject, body, attachments);
  const std::string received = test::ReadFileBytes(server.WaitForMessage(1));

  // The same message composed again with the date, boundaries and Message-ID the server
  // received: Size() says how many octets it has, and they are the very octets received.
  std::vector<std::string> boundaries;
  const std::regex boundary("boundary=\"([^\"]+)\"");
  for (auto it = std::sregex_iterator(received.begin(), received.end(), boundary); it != std::sregex_iterator(); ++it)
    boundaries.push_back((*it)[1]);
  ASSERT_EQ(boundaries.size(), 3u);
  std::smatch id;
  ASSERT_TRUE(std::regex_search(received, id, std::regex("\r\nMessage-ID: <([^@]+)@example.test>\r\n")));
  const TMailMessageStruct m =
      PrepareMailMessage(device.FUserEmail, "a@example.test", "", "", subject, body, attachments);
  TMimeComposer composer(
      m, DiskFiles(), [&] { return DateOf(received); }, [&, n = 0]() mutable { return boundaries.at(n++); },
      [&] { return id[1].str(); });
  const auto [size, text] = SizeAndText(composer);
  EXPECT_EQ(text, received);
  EXPECT_EQ(size, received.size());
}

}  // namespace
}  // namespace eqd
