#include "platform/utf16.h"

#include <gtest/gtest.h>

namespace eqd::platform {
namespace {

TEST(Utf16Test, ValidTextRoundTripsUnchanged) {
  const std::string texts[] = {
      "", "plain ASCII", "Ошибка входных параметров команды", "€ and 𝄞 (outside the BMP)",
      std::string("zero\0inside", 11), "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF",
  };
  for (const std::string& t : texts) EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(t)), t) << t;
  EXPECT_EQ(Utf8ToUtf16("Я𝄞"), (std::u16string{u'\u042F', 0xD834, 0xDD1E}));
}

TEST(Utf16Test, MalformedInputBecomesReplacementCharactersWithoutLosingNeighbours) {
  struct Case {
    std::string In;
    std::u16string Out;
  } cases[] = {
      {"a\x80z", u"a\uFFFDz"},
      {"a\xC3", u"a\uFFFD"},                 // truncated at the end
      {"\xC3z", u"\uFFFDz"},                 // a lead byte without its continuation
      {"\xC0\xAF", u"\uFFFD\uFFFD"},         // overlong "/"
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xE2\x82z", u"\uFFFDz"},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToUtf16(c.In), c.Out);

  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD800, u'b'}), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00, 0xD800}), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
}  // namespace eqd::platform
