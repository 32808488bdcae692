#include "platform/os_error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace eqd::platform {
namespace {

TEST(OsErrorTest, TheSystemTextIsTheCLibrarysOwn) {
  for (int code : {ENOENT, EACCES, ECONNREFUSED, ETIMEDOUT, 0, 99999})
    EXPECT_EQ(SystemErrorText(code), std::strerror(code)) << code;
}

}  // namespace
}  // namespace eqd::platform
