// The OAuth 2.0 settings of the driver as a host sees them: where they stand in the
// settings list, what Enable checks for each flow, secrets never in the trace, and the
// token source (with its cache) kept across an Enable that changes nothing of it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "driver_session.h"
#include "support/temp_dir.h"

namespace eqd {
namespace {

using test::TCallResult;
using test::TDriverSession;

const std::map<std::string, Variant> kBase{{"SmtpServerName", Variant("smtp.office365.com")},
                                           {"UserEmail", Variant("Робот <robot@example.com>")},
                                           {"SmtpAuthMethod", Variant("OAuth 2.0")}};

TCallResult EnableWith(TDriverSession& s, const std::map<std::string, Variant>& extra) {
  std::map<std::string, Variant> values = kBase;
  for (const auto& [k, v] : extra) values[k] = v;
  EXPECT_TRUE(s.Set(values).Result);
  return s.Call("Enable");
}

TEST(DriverOAuthTest, TheOAuthSettingsFollowTheSecuritySettings) {
  TDriverSession s;
  const auto table = ReadSettingsTable(s.Call("GetSettings").Out);
  const std::vector<std::string> ids = {"OAuthFlow",        "OAuthTenant",      "OAuthClientId",
                                        "OAuthClientSecret", "OAuthRefreshToken", "OAuthServiceAccountKey",
                                        "OAuthAccessToken", "OAuthTokenUrl",    "OAuthDeviceUrl",
                                        "OAuthScope"};
  ASSERT_EQ(table.size(), 14u + ids.size() + 1u);  // SmtpKeepAlive last
  EXPECT_EQ(table[13].ID, "SmtpCertificatePin");
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const auto& row = table[14 + i];
    EXPECT_EQ(row.ID, ids[i]);
    EXPECT_EQ(row.TypeName, "String");
    EXPECT_EQ(VarToStr(row.Default), "");
    EXPECT_TRUE(row.Name.starts_with("OAuth 2.0: ")) << row.Name;
  }
  EXPECT_NE(table[14].Description.find("google-service-account"), std::string::npos);
}

TEST(DriverOAuthTest, EnableChecksWhatTheFlowNeeds) {
  struct TCase {
    const char* What;
    std::map<std::string, Variant> Settings;
    const char* ErrorHas;  // null: Enable succeeds
  };
  const TCase cases[] = {
      {"no flow", {}, "OAuthFlow"},
      {"an unknown flow", {{"OAuthFlow", Variant("password")}}, "«password»"},
      {"an app without its secret",
       {{"OAuthFlow", Variant("ms365-app")}, {"OAuthTenant", Variant("contoso")}, {"OAuthClientId", Variant("id")}},
       "OAuthClientSecret"},
      {"an app", {{"OAuthFlow", Variant("ms365-app")}, {"OAuthTenant", Variant("contoso")},
                  {"OAuthClientId", Variant("id")}, {"OAuthClientSecret", Variant("s")}}, nullptr},
      {"a service account without its key", {{"OAuthFlow", Variant("google-service-account")}}, "OAuthServiceAccountKey"},
      {"a refresh token for a provider known by the server",
       {{"OAuthFlow", Variant("refresh-token")}, {"OAuthClientId", Variant("id")}, {"OAuthRefreshToken", Variant("r")}},
       nullptr},
      {"a refresh token for an unknown server",
       {{"OAuthFlow", Variant("refresh-token")}, {"OAuthClientId", Variant("id")}, {"OAuthRefreshToken", Variant("r")},
        {"SmtpServerName", Variant("mail.example.com")}},
       "OAuthTokenUrl"},
      {"a host's token", {{"OAuthFlow", Variant("access-token")}, {"OAuthAccessToken", Variant("t")}}, nullptr},
      {"no sender: the mailbox's fallback is missing too, the sender's own check speaks first",
       {{"OAuthFlow", Variant("access-token")}, {"OAuthAccessToken", Variant("t")}, {"UserEmail", Variant("")}},
       "Не задан EMail отправителя"},
      {"a token endpoint without TLS",
       {{"OAuthFlow", Variant("access-token")}, {"OAuthAccessToken", Variant("t")},
        {"OAuthTokenUrl", Variant("http://idp.example.com/token")}},
       "https://"},
  };
  for (const TCase& c : cases) {
    TDriverSession s;
    const TCallResult r = EnableWith(s, c.Settings);
    if (c.ErrorHas == nullptr) {
      EXPECT_TRUE(r.Result) << c.What << ": " << r.Text();
      ASSERT_NE(s.Driver().TokenSource(), nullptr) << c.What;
      EXPECT_EQ(s.Driver().TokenSource()->Settings().Mailbox, "robot@example.com") << c.What;
    } else {
      EXPECT_EQ(r.Code(), 1001) << c.What;
      EXPECT_NE(r.Text().find(c.ErrorHas), std::string::npos) << c.What << ": " << r.Text();
    }
  }
}

TEST(DriverOAuthTest, TheTokenSourceOutlivesAnEnableThatChangesNothingOfIt) {
  TDriverSession s;
  const std::map<std::string, Variant> app{{"OAuthFlow", Variant("access-token")}, {"OAuthAccessToken", Variant("t")}};
  ASSERT_TRUE(EnableWith(s, app).Result);
  const oauth::TOAuthTokenSource* first = s.Driver().TokenSource();
  ASSERT_TRUE(s.Call("Disable").Result);
  ASSERT_TRUE(EnableWith(s, app).Result);
  EXPECT_EQ(s.Driver().TokenSource(), first);
  ASSERT_TRUE(EnableWith(s, {{"OAuthFlow", Variant("access-token")}, {"OAuthAccessToken", Variant("t2")}}).Result);
  EXPECT_NE(s.Driver().TokenSource(), first);
  EXPECT_EQ(s.Driver().TokenSource()->Settings().AccessToken, "t2");
  ASSERT_TRUE(EnableWith(s, {{"SmtpAuthMethod", Variant("Без авторизации")}}).Result);
  EXPECT_EQ(s.Driver().TokenSource(), nullptr);
}

// Each secret is masked in the trace wherever its value would stand; the other OAuth
// settings show as they are.
TEST(DriverOAuthTest, TheTraceMasksEveryOAuthSecret) {
  test::TTempDir data("eqd-oauth-data-");
  const char* saved = std::getenv("VLM_DODEZOZ41_DATA_DIR");
  const std::string savedValue = saved ? saved : "";
  ::setenv("VLM_DODEZOZ41_DATA_DIR", data.Path().c_str(), 1);
  {
    TDriverSession s;
    s.Open("DEV1");
    const std::map<std::string, Variant> values{
        {"DebugLogEnabled", Variant(true)},
        {"OAuthFlow", Variant("refresh-token")},
        {"OAuthClientId", Variant("visible-client-id")},
        {"OAuthClientSecret", Variant("secret-client-A1")},
        {"OAuthRefreshToken", Variant("secret-refresh-B2")},
        {"OAuthServiceAccountKey", Variant("{\"private_key\": \"secret-key-C3\"}")},
        {"OAuthAccessToken", Variant("secret-access-D4")}};
    ASSERT_TRUE(s.Set(values).Result);
    EnableWith(s, {});
    ASSERT_TRUE(s.Set(values).Result);
    ASSERT_TRUE(s.Call("GetSettings").Result);
  }
  std::string text;
  for (const auto& f : std::filesystem::recursive_directory_iterator(data.Path()))
    if (f.is_regular_file()) text += test::ReadFileBytes(f.path());
  if (saved) ::setenv("VLM_DODEZOZ41_DATA_DIR", savedValue.c_str(), 1); else ::unsetenv("VLM_DODEZOZ41_DATA_DIR");
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.find("secret-"), std::string::npos) << text;
  EXPECT_NE(text.find("visible-client-id"), std::string::npos);
  EXPECT_NE(text.find("('OAuthRefreshToken'; '********'"), std::string::npos) << text;
}

}  // namespace
}  // namespace eqd
