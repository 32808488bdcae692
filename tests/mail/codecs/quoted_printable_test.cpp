#include "mail/codecs/quoted_printable.h"

#include <gtest/gtest.h>

#include <random>

#include "split_feed.h"

namespace eqd {
namespace {

// Undoes the encoding: soft breaks removed, "=XX" turned back into bytes.
std::string Decode(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '=') {
      out += text[i];
    } else if (text.substr(i + 1, 2) == "\r\n") {
      i += 2;
    } else {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    }
  }
  return out;
}

// The text with every line break (CR LF, lone CR, lone LF) made CR LF.
std::string CanonicalLines(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\r\n";
    } else {
      out += text[i];
    }
  }
  return out;
}

TEST(QuotedPrintableTest, EncodesByTheRulesOfTheBody) {
  const std::string a75(75, 'a'), a74(74, 'a');
  const std::pair<std::string, std::string> cases[] = {
      {"<p>Hi</p>", "<p>Hi</p>"},
      {"a=b", "a=3Db"},
      {"\xCF\xF0\xE8", "=CF=F0=E8"},                   // windows-1251 letters
      {"a b\tc", "a b\tc"},                              // blanks inside a line stay
      {"a \r\nb\t\nc  ", "a=20\r\nb=09\r\nc =20"},       // ...but not at its end
      {"x\ny\rz\r\n", "x\r\ny\r\nz\r\n"},                 // every kind of break becomes CR LF
      {std::string(100, 'a'), a75 + "=\r\n" + std::string(25, 'a')},
      {a74 + "\xFF", a74 + "=\r\n=FF"},                   // "=XX" is never split
      {std::string("\0\x7F", 2), "=00=7F"},
  };
  for (const auto& [plain, encoded] : cases) EXPECT_EQ(QuotedPrintableEncode(plain), encoded) << plain;
}

TEST(QuotedPrintableTest, GivesTheSameTextWhereverTheInputIsSplit) {
  const std::string text = "first line  \r\nsecond=line\r\r\n" + std::string(90, 'x') + " \n\xE0\xE1 \t\r";
  const std::string whole = QuotedPrintableEncode(text);
  for (std::size_t at = 0; at <= text.size(); ++at)
    ASSERT_EQ(test::FeedSplit<TQuotedPrintableEncoder>(text, at), whole) << "split at " << at;
  EXPECT_EQ(test::FeedBytewise<TQuotedPrintableEncoder>(text), whole);
}

TEST(QuotedPrintableTest, RandomTextKeepsShortLinesAndDecodesBack) {
  std::mt19937 random(7);
  const char pool[] = "abc =\t\r\n.\xE0\xFF";
  std::string text;
  for (int i = 0; i < 5000; ++i) text += pool[random() % (sizeof pool - 1)];
  const std::string encoded = QuotedPrintableEncode(text);
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i + 1 < encoded.size(); ++i) {
    if (encoded[i] == '\r') {
      ASSERT_EQ(encoded[i + 1], '\n');
      ASSERT_LE(i - lineStart, TQuotedPrintableEncoder::kMaxLineLength);
      if (i > lineStart) {  // nothing at the end of a line that a transport could strip
        ASSERT_NE(encoded[i - 1], ' ');
        ASSERT_NE(encoded[i - 1], '\t');
      }
      lineStart = i + 2;
    }
  }
  EXPECT_EQ(Decode(encoded), CanonicalLines(text));
}

}  // namespace
}  // namespace eqd
