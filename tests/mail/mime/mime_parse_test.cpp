// Composed messages read back by Python's standard e-mail parser, as a mail reader would.
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <random>
#include <regex>

#include "automation/windows1251.h"
#include "mail/mime/mime_composer.h"
#include "support/temp_dir.h"

namespace eqd {
namespace {

using nlohmann::json;

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(random() & 0xFF);
  return s;
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const char c : bytes) {
    out += kDigits[static_cast<unsigned char>(c) >> 4];
    out += kDigits[static_cast<unsigned char>(c) & 15];
  }
  return out;
}

std::string LfOnly(std::string s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i)
    if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) out += s[i];
  return out;
}

// Composes the message into a file, piece by piece as a send does, and parses it.
// No node of the tree made the parser note a defect.
void ExpectNoDefects(const json& node) {
  EXPECT_TRUE(node["defects"].empty()) << node["path"] << ": " << node["defects"];
  if (node.contains("children"))
    for (const json& child : node["children"]) ExpectNoDefects(child);
}

json ComposeAndParse(const test::TTempDir& folder, const TMailMessageStruct& m, bool utf8Header = false) {
  TMimeComposer composer(m, DiskFiles());
  const std::filesystem::path eml = folder.Path() / "message.eml";
  const std::filesystem::path out = folder.Path() / "parsed.json";
  {
    std::ofstream file(eml, std::ios::binary);
    std::string chunk;
    while (composer.Next(chunk)) {
      file << chunk;
      chunk.clear();
    }
  }
  const std::string command = std::string("/usr/bin/python3 ") + EQ_PARSE_MESSAGE_SCRIPT +
                              (utf8Header ? " --utf8 '" : " '") + eml.string() + "' > '" + out.string() + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  return json::parse(test::ReadFileBytes(out));
}

TEST(MimeParseTest, MailReaderSeesWhatWasSent) {
  test::TTempDir folder;
  const std::string logo = RandomBytes(3000, 1), photo = RandomBytes(200'000, 2), report = RandomBytes(100'000, 3);
  const std::string csv = "a;b\r\n1;2\r\n";
  const std::string subject = "Счёт №5 за март — оплата до 10.04";
  std::string body = "<html><body>\r\n<p>Здравствуйте, Иван!</p>  \r\n.a line that starts with a dot\r\n";
  body += "<p>" + std::string(300, 'x') + " a=b ✓</p>\r\n</body></html>";

  const TMailMessageStruct m = PrepareMailMessage(
      "Отдел продаж <sales@x.ru>", "Иван Петров <ivan@x.ru>; \"Petrov, Ivan\" <p@x.ru>;", "c@x.ru;",
      "hidden@x.ru;", subject, body,
      {{folder.Write("logo.png", logo), "image/png", "<logo@x>"},
       {folder.Write("фото.jpg", photo), "image/jpeg", "photo1"},
       {folder.Write("Отчёт за март.pdf", report), "", ""},
       {folder.Write("data.csv", csv), "text/plain", ""}});
  const json r = ComposeAndParse(folder, m);

  std::vector<std::string> names;
  for (const auto& h : r["headers"]) names.push_back(h[0]);
  EXPECT_EQ(names, (std::vector<std::string>{"From", "Subject", "To", "Cc", "Content-Type", "MIME-Version",
                                             "Content-Transfer-Encoding", "Reply-To", "Date", "Message-ID",
                                             "Priority", "X-Priority", "Importance"}));
  EXPECT_EQ(r["headers"][1][1], subject);
  EXPECT_EQ(r["mailboxes"]["From"], json::parse(R"([["Отдел продаж", "sales@x.ru"]])"));
  EXPECT_EQ(r["mailboxes"]["To"], json::parse(R"([["Иван Петров", "ivan@x.ru"], ["Petrov, Ivan", "p@x.ru"]])"));
  EXPECT_EQ(r["mailboxes"]["Reply-To"], r["mailboxes"]["From"]);
  EXPECT_FALSE(r["mailboxes"].contains("Bcc"));
  EXPECT_FALSE(r["date"].get<std::string>().empty());

  const json& tree = r["tree"];
  ExpectNoDefects(tree);
  EXPECT_EQ(tree["type"], "multipart/mixed");
  ASSERT_EQ(tree["children"].size(), 3u);
  const json& related = tree["children"][0];
  EXPECT_EQ(related["type"], "multipart/related");
  EXPECT_EQ(related["params"]["type"], "multipart/alternative");
  ASSERT_EQ(related["children"].size(), 3u);
  EXPECT_EQ(related["children"][0]["type"], "multipart/alternative");
  EXPECT_EQ(related["children"][0]["children"][0]["type"], "text/html");

  const json& parts = r["parts"];
  ASSERT_EQ(parts.size(), 5u);
  for (const auto& p : parts) EXPECT_TRUE(p["defects"].empty()) << p["path"];
  EXPECT_EQ(parts[0]["path"], "1.1.1");
  EXPECT_EQ(parts[0]["charset"], "windows-1251");
  EXPECT_EQ(parts[0]["disposition"], "inline");
  const std::string sent = LfOnly(Windows1251ToUtf8(Utf8ToWindows1251(body)));  // '✓' becomes '?'
  EXPECT_EQ(LfOnly(parts[0]["text"]), sent);
  EXPECT_EQ(LfOnly(r["preamble"]), "\n" + sent + "\n");  // readers without MIME show the body too

  const struct {
    const char* Path;
    const char* Type;
    const char* FileName;
    json ContentID;
    std::string Bytes;
  } expected[] = {
      {"1.2", "image/png", "logo.png", "<logo@x>", logo},
      {"1.3", "image/jpeg", "фото.jpg", "photo1", photo},
      {"2", "application/pdf", "Отчёт за март.pdf", nullptr, report},
      {"3", "text/csv", "data.csv", nullptr, csv},
  };
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const json& p = parts[i + 1];
    const auto& e = expected[i];
    EXPECT_EQ(p["path"], e.Path);
    EXPECT_EQ(p["content_type"], e.Type) << e.Path;
    EXPECT_EQ(p["disposition"], "attachment") << e.Path;
    EXPECT_EQ(p["filename"], e.FileName) << e.Path;
    EXPECT_EQ(p["name"], e.FileName) << e.Path;
    EXPECT_EQ(p["content_id"], e.ContentID) << e.Path;
    if (p.contains("hex"))
      EXPECT_EQ(p["hex"], Hex(e.Bytes)) << e.Path;
    else
      EXPECT_EQ(p["text"], e.Bytes) << e.Path;
  }
}

TEST(MimeParseTest, LongHeaderTextsAreFoldedAndReadBackWhole) {
  test::TTempDir folder;
  std::string subject;
  for (int i = 0; i < 30; ++i) subject += "Уведомление номер " + std::to_string(i) + " ";
  subject += std::string(1200, 'z');
  std::string to;
  for (int i = 0; i < 60; ++i) to += "Получатель " + std::to_string(i) + " <r" + std::to_string(i) + "@x.ru>;";
  const std::string longName = std::string(100, 'f') + " длинное имя файла " + std::string(100, 'g') + ".txt";
  const TMailMessageStruct m =
      PrepareMailMessage("me@x.ru", to, "", "", subject, "", {{folder.Write(longName, "text"), "", ""}});
  const json r = ComposeAndParse(folder, m);

  ExpectNoDefects(r["tree"]);
  EXPECT_EQ(r["headers"][1][1], subject);
  ASSERT_EQ(r["mailboxes"]["To"].size(), 60u);
  EXPECT_EQ(r["mailboxes"]["To"][59], json::parse(R"(["Получатель 59", "r59@x.ru"])"));
  EXPECT_EQ(r["parts"][1]["filename"], longName);
  const std::string raw = test::ReadFileBytes(folder.Path() / "message.eml");
  for (std::size_t start = 0, end; (end = raw.find("\r\n", start)) != std::string::npos; start = end + 2)
    ASSERT_LE(end - start, 998u);
}

TEST(MimeParseTest, InternationalFileNamesReadBackWhole) {
  test::TTempDir folder;
  std::string longName;  // RFC 2231 sections
  for (int i = 0; i < 5; ++i) longName += "Ежемесячный отчёт " + std::to_string(i) + " ";
  longName += "报告.pdf";
  const std::vector<std::string> names = {"Счёт №5 за март.pdf", "年度报告 2024.xlsx", "データ.csv", longName, "plain name.txt"};
  std::vector<TAttachment> attachments;
  for (const std::string& name : names) attachments.push_back({folder.Write(name, "x"), "", ""});
  attachments.push_back({folder.Write("图.png", "y"), "image/png", "<img1@x>"});
  const json r = ComposeAndParse(folder, PrepareMailMessage("me@x.ru", "a@x.ru", "", "", "Hi", "", attachments));

  ExpectNoDefects(r["tree"]);
  const json& parts = r["parts"];
  ASSERT_EQ(parts.size(), names.size() + 2);
  EXPECT_EQ(parts[1]["filename"], "图.png");  // inline
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(parts[i + 2]["filename"], names[i]);
  const std::string raw = test::ReadFileBytes(folder.Path() / "message.eml");
  EXPECT_NE(raw.find("filename*0*=UTF-8''%D0%95"), std::string::npos);
  EXPECT_EQ(raw.find("filename*=UTF-8''plain"), std::string::npos);  // ASCII names keep the one form
}

TEST(MimeParseTest, PaddedFieldsAreFoldedAndReadBackWhole) {
  test::TTempDir folder;
  const std::string pad(2001, ' ');
  const std::string subject = "Заказ" + pad + "№15 готов";
  const TMailMessageStruct m =
      PrepareMailMessage("\"Shop" + pad + "Ltd\" <shop@x.ru>", "\"Иван" + pad + "Петров\" <ivan@x.ru>; b@x.ru", "", "",
                         subject, "", {});
  const json r = ComposeAndParse(folder, m);
  EXPECT_EQ(r["headers"][1][1], subject);
  // Blanks in a display name are no part of it to a reader: it may show fewer.
  const auto words = [](const json& name) { return std::regex_replace(name.get<std::string>(), std::regex(" +"), " "); };
  EXPECT_EQ(words(r["mailboxes"]["From"][0][0]), "Shop Ltd");
  EXPECT_EQ(words(r["mailboxes"]["To"][0][0]), "Иван Петров");
  EXPECT_EQ(r["mailboxes"]["To"][1][1], "b@x.ru");
  const std::string raw = test::ReadFileBytes(folder.Path() / "message.eml");
  for (std::size_t start = 0, end; (end = raw.find("\r\n", start)) != std::string::npos; start = end + 2)
    ASSERT_LE(end - start, 998u);
}

TEST(MimeParseTest, InternationalAddressesReadBack) {
  test::TTempDir folder;
  const TMailMessageStruct ascii =
      PrepareMailMessage("Робот <robot@пример.рф>", "Иван <ivan@почта.рф>", "", "", "Hi", "", {});
  json r = ComposeAndParse(folder, ascii);
  EXPECT_EQ(r["mailboxes"]["From"], json::parse(R"([["Робот", "robot@xn--e1afmkfd.xn--p1ai"]])"));
  EXPECT_EQ(r["mailboxes"]["To"], json::parse(R"([["Иван", "ivan@xn--80a1acny.xn--p1ai"]])"));
  EXPECT_TRUE(std::regex_match(r["message_id"].get<std::string>(),
                               std::regex("<[0-9a-f]{32}@xn--e1afmkfd\\.xn--p1ai>")))
      << r["message_id"];

  // A local part beyond ASCII: the header is UTF-8 that a strict decoder takes.
  const TMailMessageStruct utf8 = PrepareMailMessage("robot@пример.рф", "Иван <иван@почта.рф>", "", "", "Hi", "", {});
  ASSERT_TRUE(utf8.NeedsSmtpUtf8());
  r = ComposeAndParse(folder, utf8, true);
  EXPECT_EQ(r["mailboxes"]["To"], json::parse(R"([["Иван", "иван@xn--80a1acny.xn--p1ai"]])"));
}

}  // namespace
}  // namespace eqd
