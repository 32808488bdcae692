// Where a driver object's OAuth 2.0 access tokens come from: the flow of its settings over
// HTTPS, kept in memory until shortly before they expire, so a second send does not ask
// the provider again. One per driver object; not shared between threads.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "mail/oauth/oauth_settings.h"
#include "platform/https_client.h"

namespace eqd::oauth {

class TOAuthTokenSource {
 public:
  using TSend = std::function<platform::THttpsResponseStruct(const platform::THttpsRequestStruct&)>;
  using TNow = std::function<std::chrono::system_clock::time_point()>;

  // A cached token is used until this long before the end of its life.
  static constexpr std::chrono::seconds kExpiryMargin{60};

  explicit TOAuthTokenSource(TOAuthSettingsStruct settings, TSend send = &platform::HttpsSend,
                             TNow now = &std::chrono::system_clock::now);

  struct TTokenStruct {
    std::string Value;
    bool FromCache = false;  // given out before: a refusal may mean it was revoked meanwhile
  };

  // A token to log in with. Throws EOAuthError with the provider's refusal or the reason
  // it could not be reached, in Russian.
  TTokenStruct Token(std::chrono::steady_clock::time_point deadline);

  // The server refused the last token: the next Token() asks the provider.
  void Forget() { cached_.reset(); }

  // Whether a refusal can be answered with a new token (a host's ready token cannot).
  bool CanRenew() const { return settings_.Flow != TOAuthFlow::ofAccessToken; }

  // True once after the provider replaced the refresh token: the new one is used from
  // then on, and the stored setting should be replaced (the driver writes no settings).
  bool TakeRotationNotice() { return std::exchange(rotated_, false); }

  // How many tokens were asked of the provider so far.
  int Fetches() const { return fetches_; }

  // The settings as given: a rotated refresh token does not change them, so a driver
  // enabled again with the same settings keeps this source and its rotated token.
  const TOAuthSettingsStruct& Settings() const { return settings_; }

 private:
  std::string Fetch(std::chrono::steady_clock::time_point deadline);

  struct TCachedStruct {
    std::string Value;
    std::chrono::system_clock::time_point UsableUntil;
  };

  TOAuthSettingsStruct settings_;
  TSend send_;
  TNow now_;
  std::optional<TCachedStruct> cached_;
  std::string refreshToken_;  // the settings' one until the provider replaces it
  bool rotated_ = false;
  int fetches_ = 0;
};

// Sends an OAuth request (a form) and returns the answer; an HTTPS failure becomes
// EOAuthError naming the address and the reason in Russian.
platform::THttpsResponseStruct SendOAuthRequest(const TOAuthTokenSource::TSend& send, const std::string& url,
                                                const std::string& form, std::chrono::steady_clock::time_point deadline);

// A login with a token: `login` returns whether the server accepted it. When the server
// refuses a token that came from the cache, the token is forgotten and the login tried
// once more with a new one, never more.
bool LoginWithToken(TOAuthTokenSource& source, std::chrono::steady_clock::time_point deadline,
                    const std::function<bool(const std::string& token)>& login);

}  // namespace eqd::oauth
