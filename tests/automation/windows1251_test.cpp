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

}  // namespace
}  // namespace eqd
