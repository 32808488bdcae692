// The token cache and the single retry, against a provider scripted in the test and a
// clock the test moves.
#include "mail/oauth/token_source.h"

#include <gtest/gtest.h>

#include <deque>

#include "mail/oauth/oauth_error.h"

namespace eqd::oauth {
namespace {

using namespace std::chrono_literals;

class TScriptedProvider {
 public:
  void Answer(int status, std::string body) { answers_.push_back({status, std::move(body), {}}); }

  TOAuthTokenSource::TSend Sender() {
    return [this](const platform::THttpsRequestStruct& request) {
      requests.push_back(request);
      if (answers_.empty()) throw platform::EHttpsError(platform::THttpsErrorKind::hkConnect, "Connection refused");
      auto answer = answers_.front();
      answers_.pop_front();
      return answer;
    };
  }

  std::vector<platform::THttpsRequestStruct> requests;

 private:
  std::deque<platform::THttpsResponseStruct> answers_;
};

class TokenSourceTest : public ::testing::Test {
 protected:
  TOAuthSettingsStruct Settings(TOAuthFlow flow) {
    TOAuthSettingsStruct s;
    s.Flow = flow;
    s.Tenant = "contoso";
    s.ClientId = "app";
    s.ClientSecret = "secret";
    s.RefreshToken = "rt-1";
    s.AccessToken = "host-token";
    s.SmtpServer = "smtp.office365.com";
    s.Mailbox = "robot@example.com";
    return s;
  }
  TOAuthTokenSource Source(TOAuthFlow flow) {
    return TOAuthTokenSource(Settings(flow), provider.Sender(), [this] { return now; });
  }
  static std::chrono::steady_clock::time_point Deadline() { return std::chrono::steady_clock::now() + 10s; }

  TScriptedProvider provider;
  std::chrono::system_clock::time_point now = std::chrono::system_clock::time_point() + 1000000s;
};

TEST_F(TokenSourceTest, KeepsATokenUntilShortlyBeforeItExpires) {
  provider.Answer(200, R"({"access_token":"t1","expires_in":3600})");
  provider.Answer(200, R"({"access_token":"t2","expires_in":3600})");
  TOAuthTokenSource source = Source(TOAuthFlow::ofMs365App);

  EXPECT_EQ(source.Token(Deadline()).Value, "t1");
  now += 3600s - TOAuthTokenSource::kExpiryMargin - 1s;
  const auto again = source.Token(Deadline());
  EXPECT_EQ(again.Value, "t1");
  EXPECT_TRUE(again.FromCache);
  now += 1s;
  const auto renewed = source.Token(Deadline());
  EXPECT_EQ(renewed.Value, "t2");
  EXPECT_FALSE(renewed.FromCache);
  EXPECT_EQ(source.Fetches(), 2);

  ASSERT_EQ(provider.requests.size(), 2u);
  EXPECT_EQ(provider.requests[0].Url, "https://login.microsoftonline.com/contoso/oauth2/v2.0/token");
  EXPECT_TRUE(provider.requests[0].Post);
  EXPECT_EQ(provider.requests[0].ContentType, "application/x-www-form-urlencoded");
  EXPECT_EQ(provider.requests[0].Body,
            "grant_type=client_credentials&client_id=app&client_secret=secret&scope=https%3A%2F%2Foutlook.office365.com%2F.default");
}

TEST_F(TokenSourceTest, ATokenWithoutALifetimeServesOneLogin) {
  provider.Answer(200, R"({"access_token":"t1"})");
  provider.Answer(200, R"({"access_token":"t2","expires_in":30})");
  provider.Answer(200, R"({"access_token":"t3","expires_in":3600})");
  TOAuthTokenSource source = Source(TOAuthFlow::ofMs365App);
  EXPECT_EQ(source.Token(Deadline()).Value, "t1");
  EXPECT_EQ(source.Token(Deadline()).Value, "t2");  // shorter than the margin: not kept either
  EXPECT_EQ(source.Token(Deadline()).Value, "t3");
  EXPECT_EQ(source.Token(Deadline()).Value, "t3");
}

TEST_F(TokenSourceTest, ARotatedRefreshTokenIsUsedFromThenOnAndReportedOnce) {
  provider.Answer(200, R"({"access_token":"t1","expires_in":3600,"refresh_token":"rt-2"})");
  provider.Answer(200, R"({"access_token":"t2","expires_in":3600,"refresh_token":"rt-2"})");
  TOAuthTokenSource source = Source(TOAuthFlow::ofRefreshToken);
  source.Token(Deadline());
  EXPECT_TRUE(source.TakeRotationNotice());
  EXPECT_FALSE(source.TakeRotationNotice());
  source.Forget();
  source.Token(Deadline());
  EXPECT_FALSE(source.TakeRotationNotice());  // the same one again is no news
  // The settings stay as given, so a driver enabled again with them keeps this source
  // and its rotated token (the old one may be void at the provider).
  EXPECT_EQ(source.Settings(), Settings(TOAuthFlow::ofRefreshToken));
  ASSERT_EQ(provider.requests.size(), 2u);
  EXPECT_NE(provider.requests[0].Body.find("refresh_token=rt-1"), std::string::npos);
  EXPECT_NE(provider.requests[1].Body.find("refresh_token=rt-2"), std::string::npos);
  EXPECT_EQ(provider.requests[0].Url, "https://login.microsoftonline.com/contoso/oauth2/v2.0/token");
}

TEST_F(TokenSourceTest, TheHostsTokenIsUsedAsGiven) {
  TOAuthTokenSource source = Source(TOAuthFlow::ofAccessToken);
  EXPECT_EQ(source.Token(Deadline()).Value, "host-token");
  EXPECT_FALSE(source.CanRenew());
  EXPECT_TRUE(provider.requests.empty());
}

TEST_F(TokenSourceTest, FailuresCarryTheExplanationAndTheAddress) {
  provider.Answer(400, R"({"error":"invalid_grant","error_description":"AADSTS70008: expired"})");
  TOAuthTokenSource source = Source(TOAuthFlow::ofRefreshToken);
  try {
    source.Token(Deadline());
    FAIL();
  } catch (const EOAuthError& e) {
    EXPECT_EQ(e.Code(), "invalid_grant");
  }
  // Nothing answers at all.
  try {
    source.Token(Deadline());
    FAIL();
  } catch (const EOAuthError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Не удалось получить токен OAuth 2.0 от https://login.microsoftonline.com/contoso/oauth2/v2.0/token: "
              "сервер не отвечает на подключение (Connection refused)");
  }
}

// A login refused with a cached token gets one new token and one more try; a refusal of a
// token fetched just now is final; the second refusal too.
TEST_F(TokenSourceTest, ARefusedCachedTokenIsRenewedOnceAndTriedOnceMore) {
  struct TCase {
    const char* What;
    bool WarmCache;                  // a token was fetched by an earlier send
    std::vector<bool> ServerAccepts; // the server's answer to each login in turn
    bool Result;
    std::vector<std::string> TokensTried;
    int Fetches;                     // in this send
  };
  const TCase cases[] = {
      {"cached token accepted", true, {true}, true, {"t1"}, 0},
      {"cached token refused, new one accepted", true, {false, true}, true, {"t1", "t2"}, 1},
      {"cached token refused, new one refused too", true, {false, false}, false, {"t1", "t2"}, 1},
      {"fresh token refused", false, {false}, false, {"t1"}, 1},
  };
  for (const TCase& c : cases) {
    TScriptedProvider scripted;
    scripted.Answer(200, R"({"access_token":"t1","expires_in":3600})");
    scripted.Answer(200, R"({"access_token":"t2","expires_in":3600})");
    TOAuthTokenSource source(Settings(TOAuthFlow::ofMs365App), scripted.Sender(), [this] { return now; });
    if (c.WarmCache) source.Token(Deadline());
    const int before = source.Fetches();

    std::vector<std::string> tried;
    std::size_t turn = 0;
    const bool result = LoginWithToken(source, Deadline(), [&](const std::string& token) {
      tried.push_back(token);
      return turn < c.ServerAccepts.size() && c.ServerAccepts[turn++];
    });
    EXPECT_EQ(result, c.Result) << c.What;
    EXPECT_EQ(tried, c.TokensTried) << c.What;
    EXPECT_EQ(source.Fetches() - before, c.Fetches) << c.What;
  }
}

TEST_F(TokenSourceTest, ARefusedHostTokenIsNotTriedAgain) {
  TOAuthTokenSource source = Source(TOAuthFlow::ofAccessToken);
  int logins = 0;
  EXPECT_FALSE(LoginWithToken(source, Deadline(), [&](const std::string&) { return ++logins, false; }));
  EXPECT_EQ(logins, 1);
}

}  // namespace
}  // namespace eqd::oauth
