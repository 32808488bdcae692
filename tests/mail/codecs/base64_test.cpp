#include "mail/codecs/base64.h"

#include <gtest/gtest.h>

#include <random>

#include "split_feed.h"

namespace eqd {
namespace {

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(random() & 0xFF);
  return s;
}

TEST(Base64Test, EncodesTheStandardVectors) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},         {"f", "Zg=="},        {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {"\xFF\xFE\xFD", "//79"},
  };
  for (const auto& [plain, encoded] : cases) {
    EXPECT_EQ(Base64Encode(plain), encoded) << plain;
    EXPECT_EQ(Base64Decode(encoded), plain) << encoded;
  }
}

TEST(Base64Test, BreaksLinesAt76WithoutATrailingBreak) {
  const std::string data = RandomBytes(57 * 3, 1);  // exactly three full lines
  const std::string text = Base64Encode(data, TBase64Encoder::kMimeLineLength);
  ASSERT_EQ(text.size(), 3 * 76 + 2 * 2);
  EXPECT_EQ(text.substr(76, 2), "\r\n");
  EXPECT_EQ(text.substr(2 * 76 + 2, 2), "\r\n");
  EXPECT_NE(text.back(), '\n');
  EXPECT_EQ(Base64Encode(RandomBytes(58, 2), 76).size(), 76 + 2 + 4);  // one byte more: a padded group
}

TEST(Base64Test, EncoderGivesTheSameTextWhereverTheInputIsSplit) {
  const std::string data = RandomBytes(200, 3);
  const std::string whole = Base64Encode(data, 76);
  for (std::size_t at = 0; at <= data.size(); ++at)
    ASSERT_EQ(test::FeedSplit(data, at, TBase64Encoder(76)), whole) << "split at " << at;
  EXPECT_EQ(test::FeedBytewise(data, TBase64Encoder(76)), whole);
  EXPECT_EQ(Base64Decode(whole), data);
}

TEST(Base64Test, DecoderSkipsWhatIsOutsideTheAlphabetWhereverTheInputIsSplit) {
  const std::string data = RandomBytes(120, 4);
  std::string text = Base64Encode(data, 76);  // CR LF breaks
  text.insert(10, " \t=*\xC3\xA9");           // blanks, padding, a stray UTF-8 letter
  text = "\r\n" + text + "==\r\n";
  EXPECT_EQ(Base64Decode(text), data);
  for (std::size_t at = 0; at <= text.size(); ++at)
    ASSERT_EQ(test::FeedSplit<TBase64Decoder>(text, at), data) << "split at " << at;
  EXPECT_EQ(test::FeedBytewise<TBase64Decoder>(text), data);
}

TEST(Base64Test, DecoderDropsBitsThatDoNotFillAByte) {
  EXPECT_EQ(Base64Decode("QQ"), "A");
  EXPECT_EQ(Base64Decode("QUI"), "AB");
  EXPECT_EQ(Base64Decode("QUJDR"), "ABC");  // a lone sextet holds no byte
  EXPECT_EQ(Base64Decode("==\r\n"), "");
}

}  // namespace
}  // namespace eqd
