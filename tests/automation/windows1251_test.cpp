#include "automation/windows1251.h"

#include <gtest/gtest.h>

namespace eqd {
namespace {

TEST(Windows1251Test, RoundTripsCyrillicAndReplacesWhatItCannotHold) {
  const std::string text = "Нет ошибок ёЁ №€ abc";
  const std::string cp = Utf8ToWindows1251(text);
  EXPECT_EQ(cp.substr(0, 3), "\xCD\xE5\xF2");
  EXPECT_EQ(Windows1251ToUtf8(cp), text);
  EXPECT_TRUE(FitsWindows1251(text));

  EXPECT_EQ(Utf8ToWindows1251("a\xE2\x9C\x93z"), "a?z");  // a check mark
  EXPECT_EQ(Utf8ToWindows1251("a\xFFz"), "a?z");          // malformed UTF-8
  EXPECT_EQ(Utf8ToWindows1251("a\xD0"), "a?");            // truncated sequence
  EXPECT_FALSE(FitsWindows1251("日本"));
}

// Every byte of the code page that stands for a character comes back from its UTF-8 form,
// and the one that stands for none (0x98) reads back as "?".
TEST(Windows1251Test, EveryByteRoundTrips) {
  for (int b = 0x01; b <= 0xFF; ++b) {
    const std::string byte(1, static_cast<char>(b));
    const std::string utf8 = Windows1251ToUtf8(byte);
    EXPECT_EQ(Utf8ToWindows1251(utf8), b == 0x98 ? "?" : byte) << b;
    EXPECT_EQ(FitsWindows1251(utf8), b != 0x98) << b;
  }
  EXPECT_EQ(Utf8ToWindows1251("\u040F\u0450\u0460"), "\x8F??");  // Џ; ѐ and Ѡ are not in it
}

// Only well-formed UTF-8 is read as characters: what is not becomes "?", one for each
// malformed piece, and never a control character, "/" or "." in disguise.
TEST(Windows1251Test, MalformedUtf8BecomesQuestionMarks) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"a\xC0\x8A" "b", "a??b"},          // overlong LF
      {"\xC0\x8D\xC0\x8A", "????"},      // overlong CR LF
      {"n\xC0\xAE\xC0\xAF.txt", "n????.txt"},  // overlong "." and "/"
      {"\xE0\x80\xAE", "???"},            // three-byte overlong "."
      {"\xF0\x80\x80\xAF", "????"},      // four-byte overlong "/"
      {"\xED\xA0\x80", "???"},            // an encoded surrogate
      {"\xF4\x90\x80\x80", "????"},      // above U+10FFFF
      {"\xF8\x88\x80\x80\x80", "?????"},  // five-byte form
      {"\x80\xBF", "??"},                  // stray continuation bytes
      {"\xD0\xAF\xC2\xA0\xE2\x84\x96", "\xDF\xA0\xB9"},  // well-formed: Я, no-break space, №
      {"\xF0\x9F\x98\x80z", "?z"},       // a character outside the code page
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToWindows1251(c.in), c.out) << c.in;
    EXPECT_EQ(FitsWindows1251(c.in), std::string_view(c.out).find('?') == std::string_view::npos) << c.in;
  }
}

}  // namespace
}  // namespace eqd
