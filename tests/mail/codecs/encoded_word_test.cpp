#include "mail/codecs/encoded_word.h"

#include <gtest/gtest.h>

#include <regex>

#include "automation/windows1251.h"
#include "mail/codecs/base64.h"

#include "header_lines.h"

namespace eqd {
namespace {

using test::ExpectLinesWithin;

std::string Word(std::string_view utf8) {
  return "=?windows-1251?B?" + Base64Encode(Utf8ToWindows1251(utf8)) + "?=";
}

// Reads a header value back as a mail reader does: unfold, decode encoded words, drop
// the blanks between two encoded words.
std::string ReadBack(std::string value) {
  value = std::regex_replace(value, std::regex("\r\n"), "");
  const std::regex word(R"(=\?windows-1251\?B\?([A-Za-z0-9+/=]*)\?=)");
  std::string out;
  bool lastWasWord = false;
  std::string pendingBlanks;
  std::size_t i = 0;
  while (i < value.size()) {
    std::smatch m;
    const std::string rest = value.substr(i);
    if (std::regex_search(rest, m, word, std::regex_constants::match_continuous)) {
      if (!lastWasWord) out += pendingBlanks;
      pendingBlanks.clear();
      out += Windows1251ToUtf8(Base64Decode(m[1].str()));
      lastWasWord = true;
      i += static_cast<std::size_t>(m.length(0));
    } else if (value[i] == ' ') {
      pendingBlanks += value[i++];
    } else {
      out += pendingBlanks;
      pendingBlanks.clear();
      out += value[i++];
      lastWasWord = false;
    }
  }
  return out + pendingBlanks;
}

TEST(EncodedWordTest, EncodesOnlyTheWordsThatNeedIt) {
  const std::pair<std::string, std::string> cases[] = {
      {"Daily report", "Daily report"},
      {"Отчёт", Word("Отчёт")},
      // Neighbouring words are encoded together, so the blank between them survives.
      {"Отчёт за март 2024", Word("Отчёт за март") + " 2024"},
      {"Re:  Счёт №5", "Re:  " + Word("Счёт №5")},
      {"a =?x?B?eA==?= b", "a " + Word("=?x?B?eA==?=") + " b"},  // looks like an encoded word
      {"tab\there", Word("tab\there")},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(EncodeHeaderText(text), expected) << text;
    EXPECT_EQ(ReadBack(EncodeHeaderText(text)), text);
  }
}

TEST(EncodedWordTest, LongTextsFoldIntoShortLinesAndReadBackUnchanged) {
  std::string cyrillic;
  for (int i = 0; i < 40; ++i) cyrillic += "Уведомление ";
  cyrillic += "конец";
  const std::string ascii(2000, 'x');  // no blank to fold at: encoded so it can be split
  for (const std::string& text : {cyrillic, ascii, "Итог: " + ascii + " ok"}) {
    const std::string value = EncodeHeaderText(text);
    for (const std::regex word(R"(=\?[^ ]*\?=)"); const auto& m :
         std::vector(std::sregex_iterator(value.begin(), value.end(), word), std::sregex_iterator()))
      EXPECT_LE(m.length(0), static_cast<long>(kMaxEncodedWordLength));
    const std::string field = FoldHeaderField("Subject", value);
    // The first word stays beside the name: "Subject: " and one encoded word.
    ExpectLinesWithin(field, 9 + kMaxEncodedWordLength);
    ASSERT_EQ(field.substr(0, 9), "Subject: ");
    EXPECT_EQ(ReadBack(field.substr(9, field.size() - 11)), text);
  }
}

TEST(EncodedWordTest, LongRunsOfBlanksKeepLinesWithinTheCapAndReadBackWhole) {
  // Hosts pad fixed-width fields: runs of blanks longer than a header line may be.
  const std::string run(2001, ' ');
  for (const std::string& text :
       {"Order" + run + "15", "Заказ" + run + "№15", "Итог" + run + "Отчёт", "a" + std::string(850, ' ') + std::string(100, 'b'),
        "tail" + run, "Счёт" + run, "a" + run + "b" + run + "c"}) {
    SCOPED_TRACE(text.substr(0, 12));
    const std::string field = FoldHeaderField("Subject", EncodeHeaderText(text));
    ExpectLinesWithin(field, kMaxHeaderLineLength);
    EXPECT_EQ(ReadBack(field.substr(9, field.size() - 11)), text);
  }
  // Runs a line holds stay as they are.
  const std::string shortRun = "Order" + std::string(100, ' ') + "15";
  EXPECT_EQ(EncodeHeaderText(shortRun), shortRun);
}

TEST(EncodedWordTest, FoldingOnlyAddsLineBreaksBeforeBlanks) {
  EXPECT_EQ(FoldHeaderField("To", "a@b.ru"), "To: a@b.ru\r\n");
  std::string value;
  for (int i = 0; i < 30; ++i) value += "name" + std::to_string(i) + "@example.ru, ";
  value += "last@example.ru";
  const std::string field = FoldHeaderField("To", value);
  ExpectLinesWithin(field, 78);
  EXPECT_EQ(std::regex_replace(field, std::regex("\r\n "), " "), "To: " + value + "\r\n");
}

}  // namespace
}  // namespace eqd
