#include "mail/codecs/dot_stuffing.h"

#include <gtest/gtest.h>

#include "split_feed.h"

namespace eqd {
namespace {

TEST(DotStuffingTest, DoublesLeadingDotsAndEndsTheData) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ".\r\n"},
      {"abc\r\n", "abc\r\n.\r\n"},
      {"abc", "abc\r\n.\r\n"},
      {".\r\n", "..\r\n.\r\n"},
      {"a.b\r\n.x\r\n..\r\n", "a.b\r\n..x\r\n...\r\n.\r\n"},
      {"line\n.bare LF\r\n", "line\n..bare LF\r\n.\r\n"},
  };
  for (const auto& [data, expected] : cases) {
    for (std::size_t at = 0; at <= data.size(); ++at)
      ASSERT_EQ(test::FeedSplit<TDotStuffingFilter>(data, at), expected) << data << " split at " << at;
    EXPECT_EQ(test::FeedBytewise<TDotStuffingFilter>(data), expected);
  }
}

}  // namespace
}  // namespace eqd
