#include "platform/os_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace eqd::platform {
namespace {

TEST(OsErrorTest, TheSystemTextIsTheCLibrarysOwn) {
  for (int code : {ENOENT, EACCES, ECONNREFUSED, ETIMEDOUT, 0, 99999}) {
    // strerror's text of an unknown code lives in a buffer the next call reuses: copy it
    // before anything else asks the C library.
    const std::string expected = std::strerror(code);
    EXPECT_EQ(SystemErrorText(code), expected) << code;
  }
}

}  // namespace
}  // namespace eqd::platform
