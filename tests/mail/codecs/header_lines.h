// Checks a folded header field line by line: every line within `limit` octets (CR LF not
// counted) and the field ending with CR LF.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

namespace eqd::test {

inline void ExpectLinesWithin(const std::string& field, std::size_t limit) {
  std::size_t start = 0;
  for (std::size_t crlf; (crlf = field.find("\r\n", start)) != std::string::npos; start = crlf + 2)
    EXPECT_LE(crlf - start, limit) << field;
  EXPECT_EQ(start, field.size()) << "the field ends with CR LF";
}

}  // namespace eqd::test
