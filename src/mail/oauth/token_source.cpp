#include "mail/oauth/token_source.h"

#include "mail/oauth/oauth_error.h"
#include "mail/oauth/oauth_provider.h"
#include "mail/oauth/oauth_requests.h"
#include "mail/oauth/oauth_texts.h"
#include "mail/oauth/service_account.h"

namespace eqd::oauth {
namespace {

std::string_view HttpsFailureText(platform::THttpsErrorKind kind) {
  using K = platform::THttpsErrorKind;
  switch (kind) {
    case K::hkAddress: return texts::kHttpsAddress;
    case K::hkResolve: return texts::kHttpsResolve;
    case K::hkConnect: return texts::kHttpsConnect;
    case K::hkCertificate: return texts::kHttpsCertificate;
    case K::hkTimeout: return texts::kHttpsTimeout;
    case K::hkTooLarge: return texts::kHttpsTooLarge;
    case K::hkIO: break;
  }
  return texts::kHttpsOther;
}

}  // namespace

platform::THttpsResponseStruct SendOAuthRequest(const TOAuthTokenSource::TSend& send, const std::string& url,
                                                const std::string& form, std::chrono::steady_clock::time_point deadline) {
  platform::THttpsRequestStruct request;
  request.Url = url;
  request.Post = true;
  request.ContentType = "application/x-www-form-urlencoded";
  request.Body = form;
  request.Deadline = deadline;
  try {
    return send(request);
  } catch (const platform::EHttpsError& e) {
    std::string message = std::string(texts::kHttpsFailed) + url + ": " + std::string(HttpsFailureText(e.Kind()));
    if (*e.what()) message += " (" + std::string(e.what()) + ")";
    throw EOAuthError(message);
  }
}

TOAuthTokenSource::TOAuthTokenSource(TOAuthSettingsStruct settings, TSend send, TNow now)
    : settings_(std::move(settings)), send_(std::move(send)), now_(std::move(now)), refreshToken_(settings_.RefreshToken) {}

TOAuthTokenSource::TTokenStruct TOAuthTokenSource::Token(std::chrono::steady_clock::time_point deadline) {
  if (settings_.Flow == TOAuthFlow::ofAccessToken) return {settings_.AccessToken, false};
  if (cached_ && now_() < cached_->UsableUntil) return {cached_->Value, true};
  cached_.reset();
  return {Fetch(deadline), false};
}

std::string TOAuthTokenSource::Fetch(std::chrono::steady_clock::time_point deadline) {
  const TOAuthEndpointsStruct endpoints = OAuthEndpoints(settings_);
  TOAuthRequestStruct request;
  switch (settings_.Flow) {
    case TOAuthFlow::ofMs365App:
      request = ClientCredentialsRequest(endpoints.TokenUrl, settings_.ClientId, settings_.ClientSecret, endpoints.Scope);
      break;
    case TOAuthFlow::ofRefreshToken:
      request = RefreshTokenRequest(endpoints.TokenUrl, settings_.ClientId, settings_.ClientSecret,
                                    refreshToken_, endpoints.Scope);
      break;
    case TOAuthFlow::ofGoogleServiceAccount: {
      const TServiceAccountKeyStruct key = LoadServiceAccountKey(settings_.ServiceAccountKey);
      // The key names its own token endpoint; a setting names another.
      const std::string url = settings_.TokenUrl.empty() && !key.TokenUri.empty() ? key.TokenUri : endpoints.TokenUrl;
      request = JwtBearerRequest(url, ServiceAccountAssertion(key, settings_.Mailbox, endpoints.Scope, url, now_()));
      break;
    }
    case TOAuthFlow::ofAccessToken:
    case TOAuthFlow::ofNone: throw EOAuthError(CheckOAuthSettings(settings_));
  }
  if (request.Url.empty()) throw EOAuthError(CheckOAuthSettings(settings_));

  const auto asked = now_();
  ++fetches_;
  const platform::THttpsResponseStruct answer = SendOAuthRequest(send_, request.Url, FormEncode(request.Form), deadline);
  const TOAuthTokenStruct token = ParseTokenResponse(answer.Status, answer.Body);

  if (settings_.Flow == TOAuthFlow::ofRefreshToken && !token.RefreshToken.empty() &&
      token.RefreshToken != refreshToken_) {
    refreshToken_ = token.RefreshToken;
    rotated_ = true;
  }
  // Without a lifetime the token serves this login only.
  if (token.ExpiresIn > kExpiryMargin) cached_ = TCachedStruct{token.AccessToken, asked + token.ExpiresIn - kExpiryMargin};
  return token.AccessToken;
}

bool LoginWithToken(TOAuthTokenSource& source, std::chrono::steady_clock::time_point deadline,
                    const std::function<bool(const std::string& token)>& login) {
  const TOAuthTokenSource::TTokenStruct token = source.Token(deadline);
  if (login(token.Value)) return true;
  source.Forget();
  if (!token.FromCache || !source.CanRenew()) return false;
  return login(source.Token(deadline).Value);
}

}  // namespace eqd::oauth
