#include "host/host_options.h"

#include <gtest/gtest.h>

#include <sstream>

namespace eqd {
namespace {

struct Parsed {
  std::optional<int> exit;
  THostOptionsStruct o;
  std::string out, err;
};

Parsed Parse(std::vector<std::string> args) {
  Parsed p;
  std::ostringstream out, err;
  p.exit = ParseHostOptions(args, p.o, out, err);
  p.out = out.str();
  p.err = err.str();
  return p;
}

TEST(HostOptionsTest, SendTakesEveryOption) {
  const Parsed p = Parse({"send", "--settings", "s.json", "--set", "SmtpServerPort=2525", "--set", "Subject=a=b",
                          "--device-id", "DEV1", "--to", "a@x.ru", "b@x.ru", "--to", "c@x.ru", "--cc", "d@x.ru",
                          "--bcc", "e@x.ru", "--subject", "Тема", "--body", "<p>Текст</p>", "--attach", "r.pdf",
                          "--inline", "/tmp/a,b/logo.png,image/png,logo1", "--attach-base64", "отчёт.txt,/tmp/r.txt",
                          "--dry-run", "письмо.eml", "-v"});
  ASSERT_FALSE(p.exit) << p.err;
  const THostOptionsStruct& o = p.o;
  EXPECT_EQ(o.Command, THostCommand::hcSend);
  EXPECT_TRUE(o.Verbose);
  EXPECT_EQ(o.SettingsFile, "s.json");
  ASSERT_EQ(o.Sets.size(), 2u);
  EXPECT_EQ(o.Sets[1], (std::pair<std::string, std::string>{"Subject", "a=b"}));
  EXPECT_EQ(o.DeviceID, "DEV1");
  EXPECT_EQ(o.To, (std::vector<std::string>{"a@x.ru", "b@x.ru", "c@x.ru"}));
  EXPECT_EQ(o.Cc, std::vector<std::string>{"d@x.ru"});
  EXPECT_EQ(o.Bcc, std::vector<std::string>{"e@x.ru"});
  EXPECT_EQ(o.Subject, "Тема");
  EXPECT_EQ(o.Body, "<p>Текст</p>");
  EXPECT_FALSE(o.BodyFile);
  EXPECT_EQ(o.Attach, std::vector<std::string>{"r.pdf"});
  ASSERT_EQ(o.Inline.size(), 1u);
  EXPECT_EQ(o.Inline[0].FilePath, "/tmp/a,b/logo.png");  // commas of the path survive
  EXPECT_EQ(o.Inline[0].ContentType, "image/png");
  EXPECT_EQ(o.Inline[0].ContentID, "logo1");
  ASSERT_EQ(o.AttachBase64.size(), 1u);
  EXPECT_EQ(o.AttachBase64[0].FileName, "отчёт.txt");
  EXPECT_EQ(o.AttachBase64[0].SourcePath, "/tmp/r.txt");
  EXPECT_EQ(o.DryRunFile, "письмо.eml");
}

TEST(HostOptionsTest, OtherCommands) {
  Parsed p = Parse({"check", "--settings", "s.json"});
  EXPECT_FALSE(p.exit);
  EXPECT_EQ(p.o.Command, THostCommand::hcCheck);
  p = Parse({"settings", "--json"});
  EXPECT_FALSE(p.exit);
  EXPECT_EQ(p.o.Command, THostCommand::hcSettings);
  EXPECT_TRUE(p.o.Json);
  EXPECT_TRUE(p.o.SettingsFile.empty());
  p = Parse({"info"});
  EXPECT_EQ(p.o.Command, THostCommand::hcInfo);
  EXPECT_FALSE(p.o.Json);
  p = Parse({"run"});
  EXPECT_EQ(p.o.Command, THostCommand::hcRun);
  EXPECT_EQ(p.o.RunFile, "-");
  p = Parse({"--verbose", "run", "calls.jsonl"});
  EXPECT_EQ(p.o.RunFile, "calls.jsonl");
  EXPECT_TRUE(p.o.Verbose);
  p = Parse({"login", "--settings", "s.json"});
  EXPECT_EQ(p.o.Command, THostCommand::hcLogin);
  EXPECT_EQ(p.o.SettingsFile, "s.json");
  // The subject may be given empty: the driver then falls back to its setting.
  p = Parse({"send", "--settings", "s", "--to", "a@x", "--subject", ""});
  EXPECT_EQ(p.o.Subject, "");
}

TEST(HostOptionsTest, UsageErrorsExitWithTwoAndHelpWithZero) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"fly"},
      {"send", "--to", "a@x"},                                                    // no settings file
      {"send", "--settings", "s"},                                                // no recipient
      {"send", "--settings", "s", "--to", "a@x", "--body", "b", "--body-file", "f"},  // two bodies
      {"send", "--settings", "s", "--to", "a@x", "--set", "NoEquals"},
      {"send", "--settings", "s", "--to", "a@x", "--set", "=v"},
      {"send", "--settings", "s", "--to", "a@x", "--inline", "logo.png,image/png"},
      {"send", "--settings", "s", "--to", "a@x", "--attach-base64", "name-only"},
      {"check"},
      {"login"},  // no settings file to write the token into
      {"info", "extra"},
  };
  for (const auto& args : bad) {
    const Parsed p = Parse(args);
    EXPECT_EQ(p.exit, 2) << (args.empty() ? "" : args[0]);
    EXPECT_FALSE(p.err.empty());
  }
  const Parsed help = Parse({"send", "--help"});
  EXPECT_EQ(help.exit, 0);
  EXPECT_NE(help.out.find("--attach-base64"), std::string::npos);
}

// A secret never stands on the command line when it comes from a file, and a usage
// error does not repeat what was given.
TEST(HostOptionsTest, SecretsFromFilesAndTheDryRunsForce) {
  Parsed p = Parse({"check", "--settings", "s", "--set", "SmtpServerUser=u", "--set-from-file",
                    "SmtpServerPassword=/run/pw", "--set-from-file", "Subject=-"});
  ASSERT_FALSE(p.exit) << p.err;
  EXPECT_EQ(p.o.SetsFromFiles, (std::vector<std::pair<std::string, std::string>>{{"SmtpServerPassword", "/run/pw"},
                                                                                  {"Subject", "-"}}));
  EXPECT_EQ(p.o.Sets.size(), 1u);
  p = Parse({"settings", "--show-secrets"});
  EXPECT_TRUE(p.o.ShowSecrets);
  p = Parse({"send", "--settings", "s", "--to", "a@x", "--dry-run", "m.eml", "--force"});
  EXPECT_TRUE(p.o.Force);
  for (const std::vector<std::string>& args : {std::vector<std::string>{"send", "--settings", "s", "--to", "a@x", "--force"},
                                               {"check", "--settings", "s", "--set-from-file", "NoEquals"},
                                               {"check", "--settings", "s", "--set", "=s3cret-marker"}}) {
    p = Parse(args);
    EXPECT_EQ(p.exit, 2) << args.back();
    EXPECT_EQ(p.err.find("marker"), std::string::npos) << p.err;
  }
}

}  // namespace
}  // namespace eqd
