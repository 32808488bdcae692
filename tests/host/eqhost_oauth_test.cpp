// eqhost sending with OAuth 2.0 as its users run it: the real program, "-v" showing the
// dialogue, the call trace and the event log on, a dry run beside, through Dovecot
// checking the tokens at the loopback identity provider. Nothing secret may appear in
// what it printed or in any file it wrote, other than the settings file it was given.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "mail/codecs/base64.h"
#include "support/identity_provider_fixture.h"
#include "support/temp_dir.h"

#ifndef EQ_EQHOST_PATH
#error "EQ_EQHOST_PATH must name the eqhost program"
#endif

namespace eqd {
namespace {

namespace fs = std::filesystem;
using test::ShellQuote;

TEST(EqhostOAuthTest, NothingSecretInWhatEqhostPrintedOrWrote) {
  test::TIdentityProviderProcess provider;
  test::TDovecotSubmissionProcess dovecot(provider);
  test::TTempDir dir("eqd-eqhost-oauth-");
  fs::create_directories(dir.Path() / "tmp");
  nlohmann::ordered_json s;
  s["SmtpServerName"] = "127.0.0.1";
  s["SmtpServerPort"] = std::to_string(dovecot.Port());
  s["UserEmail"] = "Робот <robot@example.com>";
  s["SmtpAuthMethod"] = "OAuth 2.0";
  s["OAuthFlow"] = "ms365-app";
  s["OAuthTenant"] = "contoso";
  s["OAuthClientId"] = "app-id";
  s["OAuthClientSecret"] = "app-secret";
  s["OAuthTokenUrl"] = provider.Url("/contoso/oauth2/v2.0/token");
  s["DebugLogEnabled"] = true;
  const std::string settings = dir.Write("s.json", s.dump(2));

  std::string printed;
  const auto run = [&](const std::vector<std::string>& args) {
    std::string command = "cd " + ShellQuote(dir.Path().string()) + " && env TMPDIR=" +
                          ShellQuote((dir.Path() / "tmp").string()) + " VLM_DODEZOZ41_DATA_DIR=" +
                          ShellQuote(dir.File("data")) + " EQHOST_HOME=" + ShellQuote(dir.File("home")) +
                          " SSL_CERT_FILE=" + ShellQuote(provider.CaFile()) + " " + ShellQuote(EQ_EQHOST_PATH);
    for (const auto& a : args) command += " " + ShellQuote(a);
    command += " </dev/null >" + ShellQuote(dir.File("out.txt")) + " 2>&1";
    const int status = std::system(command.c_str());
    const std::string out = test::ReadFileBytes(dir.File("out.txt"));
    fs::remove(dir.File("out.txt"));  // read here; the search below sees the files eqhost wrote
    printed += out;
    return std::pair{WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
  };
  const std::vector<std::string> send = {"send", "-v", "--settings", settings, "--to", "buyer@example.test",
                                         "--subject", "Заказ готов", "--body", "<p>Готово</p>"};
  const auto [sent, sentOut] = run(send);
  ASSERT_EQ(sent, 0) << sentOut;
  std::vector<std::string> dryRun = send;
  for (const char* a : {"--dry-run", "message.eml"}) dryRun.push_back(a);
  const auto [dry, dryOut] = run(dryRun);
  ASSERT_EQ(dry, 0) << dryOut;
  const auto [listed, listOut] = run({"settings", "--settings", settings});
  ASSERT_EQ(listed, 0) << listOut;
  ASSERT_EQ(dovecot.MessageCount(), 1);
  ASSERT_NE(printed.find("AUTH XOAUTH2"), std::string::npos) << "-v shows the dialogue:\n" << printed;

  int logs = 0;
  for (const auto& f : fs::recursive_directory_iterator(dir.File("data"))) logs += f.is_regular_file() ? 1 : 0;
  ASSERT_GT(logs, 0) << "the trace and the event log were written";
  std::string written = printed;
  for (const auto& f : fs::recursive_directory_iterator(dir.Path()))
    if (f.is_regular_file() && f.path() != fs::path(settings)) written += test::ReadFileBytes(f.path());
  EXPECT_EQ(test::ReadFileBytes(settings), s.dump(2)) << "the settings file is left as it was";
  for (const std::string& secret :
       {std::string("app-secret"), std::string("auth=Bearer"), Base64Encode("user=robot@example.com\x01").substr(0, 20)})
    EXPECT_EQ(written.find(secret), std::string::npos) << secret;
  std::smatch token;
  EXPECT_FALSE(std::regex_search(written, token, std::regex("at-[0-9a-f]{32}"))) << token.str();
}

}  // namespace
}  // namespace eqd
