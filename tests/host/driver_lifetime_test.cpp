// Thousands of driver objects through their whole life as a host drives them: create,
// Init, Open, Enable, a send (delivered and refused in turn) with a temporary
// attachment, Close, release. Afterwards the process holds as many open descriptors
// as before, no temporary file is left, every delivered message is there, and (under
// AddressSanitizer) nothing leaked.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "driver_session.h"
#include "support/smtp_server_fixture.h"
#include "support/temp_dir.h"

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

namespace eqd {
namespace {

namespace fs = std::filesystem;

constexpr int kCycles = 1000;

std::size_t OpenDescriptors() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

std::size_t FilesUnder(const fs::path& folder) {
  std::size_t n = 0;
  for (const auto& e : fs::recursive_directory_iterator(folder)) n += e.is_regular_file() ? 1 : 0;
  return n;
}

class DriverLifetimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"TMPDIR", "VLM_DODEZOZ41_DATA_DIR"})
      if (const char* v = std::getenv(name)) saved_[name] = v;
    fs::create_directories(root_.Path() / "tmp");
    ::setenv("TMPDIR", (root_.Path() / "tmp").c_str(), 1);
    ::setenv("VLM_DODEZOZ41_DATA_DIR", (root_.Path() / "data").c_str(), 1);
  }
  void TearDown() override {
    for (const char* name : {"TMPDIR", "VLM_DODEZOZ41_DATA_DIR"})
      if (saved_.count(name)) ::setenv(name, saved_[name].c_str(), 1); else ::unsetenv(name);
  }

  // One whole life; true when the send was delivered.
  bool Cycle(bool deliver) {
    test::TDriverSession s;
    s.Open("DEV1");
    const test::TSmtpServerOptions account;
    EXPECT_TRUE(s.Set({{"SmtpServerName", Variant("localhost")},
                       {"SmtpServerPort", Variant(std::to_string(server_.Port()))},
                       {"SmtpServerUser", Variant(account.User)},
                       {"SmtpServerPassword", Variant(deliver ? account.Password : "wrong")},
                       {"UserEmail", Variant("robot@example.test")}})
                    .Result);
    EXPECT_TRUE(s.Call("Enable").Result);
    EXPECT_TRUE(s.Call("AddAttachmentBase64", test::Arr({Variant("a.csv"), Variant("YTtiDQox"), Variant(""), Variant("")}))
                    .Result);
    const test::TCallResult sent = s.Call(
        "SendMail", test::Arr({test::Arr({Variant("to@example.test")}), Variant(), Variant(), Variant("Проверка"),
                               Variant("<p>x</p>"), Variant()}));
    if (!deliver) {
      EXPECT_EQ(sent.Code(), 1001);
    }
    s.Call("Close");
    return sent.Result;
  }

  // Made before SetUp points the temporary folder at the driver's own.
  test::TSmtpServerProcess server_;
  test::TTempDir root_{"eqd-lifetime-"};
  std::map<std::string, std::string> saved_;
};

TEST_F(DriverLifetimeTest, ThousandsOfObjectsLeaveNothingBehind) {
  const std::size_t descriptors = OpenDescriptors();
  int delivered = 0;
  for (int i = 0; i < kCycles; ++i) {
    const bool deliver = i % 2 == 0;
    ASSERT_EQ(Cycle(deliver), deliver) << "cycle " << i;
    delivered += deliver ? 1 : 0;
  }
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_EQ(FilesUnder(root_.Path() / "tmp"), 0u);
  server_.WaitForMessage(delivered);
  EXPECT_EQ(server_.MessageCount(), delivered);
#ifdef __SANITIZE_ADDRESS__
  EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0);
#endif
}

}  // namespace
}  // namespace eqd
