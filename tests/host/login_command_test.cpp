// eqhost login against the loopback identity provider: the real program signs in with a
// code the test approves at the provider, and the refresh token lands in the settings file.
#include "host/login_command.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>
#include <thread>

#include "mail/oauth/token_source.h"
#include "support/identity_provider_fixture.h"

#ifndef EQ_EQHOST_PATH
#error "EQ_EQHOST_PATH must name the eqhost program"
#endif

namespace eqd {
namespace {

using namespace std::chrono_literals;
using test::TIdentityProviderProcess;

class LoginCommandTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { provider_ = new TIdentityProviderProcess(); }
  static void TearDownTestSuite() { delete provider_; }

  std::string SettingsFile(const std::string& flow) {
    nlohmann::ordered_json s;
    s["SmtpServerName"] = "127.0.0.1";
    s["SmtpServerPort"] = 587;
    s["UserEmail"] = "Робот <person@example.com>";
    s["OAuthFlow"] = flow;
    s["OAuthClientId"] = "app-id";
    s["OAuthTokenUrl"] = provider_->Url("/token");
    s["OAuthDeviceUrl"] = provider_->Url("/devicecode");
    return dir_.Write("s.json", s.dump(2));
  }

  int Login(const std::string& file, const oauth::TDeviceSignIn::TWait& wait, std::string* out = nullptr,
            std::string* err = nullptr) {
    THostOptionsStruct options;
    options.Command = THostCommand::hcLogin;
    options.SettingsFile = file;
    std::istringstream in;
    std::ostringstream o, e;
    const int code = RunLoginCommand(options, {in, o, e}, wait);
    if (out) *out = o.str();
    if (err) *err = e.str();
    return code;
  }

  static TIdentityProviderProcess* provider_;
  test::TTrustedCa trust_{provider_->CaFile()};
  test::TTempDir dir_{"eqd-login-"};
};
TIdentityProviderProcess* LoginCommandTest::provider_ = nullptr;

TEST_F(LoginCommandTest, TheProgramSignsInAndWritesTheRefreshTokenIntoTheFile) {
  const std::string file = SettingsFile("refresh-token");
  std::string output;
  int exitCode = -1;
  std::thread program([&] {
    try {
      output = test::RunAndCapture(test::ShellQuote(EQ_EQHOST_PATH) + " login --settings " + test::ShellQuote(file));
      exitCode = 0;
    } catch (const std::exception& e) {
      output = e.what();
    }
  });
  // The person: waits for the code to appear at the provider and approves it.
  bool approved = false;
  for (int i = 0; i < 300 && !approved; ++i) {
    const auto codes = nlohmann::json::parse(provider_->Control("/control/codes").Body)["user_codes"];
    for (const auto& code : codes)
      approved = provider_->Control("/control/approve?user_code=" + code.get<std::string>()).Status == 200;
    if (!approved) std::this_thread::sleep_for(100ms);
  }
  program.join();
  ASSERT_TRUE(approved);
  ASSERT_EQ(exitCode, 0) << output;
  EXPECT_NE(output.find("Откройте в браузере https://127.0.0.1/device и введите код "), std::string::npos) << output;

  const auto written = nlohmann::ordered_json::parse(test::ReadFileBytes(file));
  std::vector<std::string> keys;
  for (const auto& [key, value] : written.items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"SmtpServerName", "SmtpServerPort", "UserEmail", "OAuthFlow", "OAuthClientId",
                                            "OAuthTokenUrl", "OAuthDeviceUrl", "OAuthRefreshToken"}));
  EXPECT_EQ(written["SmtpServerPort"], 587);
  EXPECT_EQ(written["UserEmail"], "Робот <person@example.com>");
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 1);  // no temporary left

  // The token works.
  oauth::TOAuthSettingsStruct s;
  s.Flow = oauth::TOAuthFlow::ofRefreshToken;
  s.ClientId = "app-id";
  s.TokenUrl = provider_->Url("/token");
  s.RefreshToken = written["OAuthRefreshToken"];
  EXPECT_TRUE(oauth::TOAuthTokenSource(s).Token(std::chrono::steady_clock::now() + 20s).Value.starts_with("at-"));
}

TEST_F(LoginCommandTest, AnEndedSignInLeavesTheFileAsItWas) {
  struct TCase {
    const char* What;
    std::string Flow;
    std::string Control;  // what the person does at the first wait; empty: cancels
    int ExitCode;
    const char* Error;
  };
  const TCase cases[] = {
      {"refused", "refresh-token", "/control/deny?user_code=", 1, "вход не разрешён"},
      {"cancelled", "refresh-token", "", 1, ""},
      {"another flow", "ms365-app", "", 2, "refresh-token"},
      {"an unknown flow", "password", "", 2, "OAuthFlow"},
  };
  for (const TCase& c : cases) {
    const std::string file = SettingsFile(c.Flow);
    const std::string before = test::ReadFileBytes(file);
    std::string out, err;
    const int code = Login(
        file,
        [&](std::chrono::seconds) {
          if (c.Control.empty()) return false;
          const auto codes = nlohmann::json::parse(provider_->Control("/control/codes").Body)["user_codes"];
          for (const auto& userCode : codes) provider_->Control(c.Control + userCode.get<std::string>());
          return true;
        },
        &out, &err);
    EXPECT_EQ(code, c.ExitCode) << c.What << ": " << err;
    EXPECT_NE(err.find(c.Error), std::string::npos) << c.What << ": " << err;
    EXPECT_EQ(test::ReadFileBytes(file), before) << c.What;
  }
}

}  // namespace
}  // namespace eqd
