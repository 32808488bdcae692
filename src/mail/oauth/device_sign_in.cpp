#include "mail/oauth/device_sign_in.h"

#include "mail/oauth/oauth_error.h"
#include "mail/oauth/oauth_texts.h"

namespace eqd::oauth {
namespace {

// Each request of the sign-in gets this long; the sign-in itself lasts as long as the
// provider's code.
constexpr std::chrono::seconds kRequestLimit{30};

std::chrono::steady_clock::time_point RequestDeadline() { return std::chrono::steady_clock::now() + kRequestLimit; }

}  // namespace

TDeviceSignIn::TDeviceSignIn(TOAuthSettingsStruct settings, TOAuthTokenSource::TSend send)
    : settings_(std::move(settings)), send_(std::move(send)), endpoints_(OAuthEndpoints(settings_)) {}

TDeviceAuthorizationStruct TDeviceSignIn::Start() {
  if (settings_.ClientId.empty()) throw EOAuthError(std::string(texts::kMissing) + std::string(texts::kMissingClientId));
  if (endpoints_.DeviceUrl.empty()) throw EOAuthError(std::string(texts::kNoDeviceSignIn));
  if (endpoints_.TokenUrl.empty()) throw EOAuthError(std::string(texts::kMissing) + std::string(texts::kMissingTokenUrl));
  const TOAuthRequestStruct request = DeviceAuthorizationRequest(endpoints_.DeviceUrl, settings_.ClientId, endpoints_.Scope);
  const auto answer = SendOAuthRequest(send_, request.Url, FormEncode(request.Form), RequestDeadline());
  device_ = ParseDeviceAuthorization(answer.Status, answer.Body);
  return device_;
}

std::optional<std::string> TDeviceSignIn::WaitForApproval(const TWait& wait) {
  std::chrono::seconds interval = device_.Interval;
  std::chrono::seconds waited{0};
  const TOAuthRequestStruct request = DeviceTokenRequest(endpoints_.TokenUrl, settings_.ClientId, settings_.ClientSecret,
                                                         device_.DeviceCode, endpoints_.DeviceStyle);
  const std::string form = FormEncode(request.Form);
  for (;;) {
    // The code's lifetime is counted in the waits themselves, so a provider that never
    // answers "expired_token" cannot keep the sign-in going forever.
    if (waited >= device_.ExpiresIn) throw EOAuthError(ExplainTokenError(400, "expired_token", {}), "expired_token");
    if (!wait(interval)) return std::nullopt;
    waited += interval;
    const auto answer = SendOAuthRequest(send_, request.Url, form, RequestDeadline());
    const TDevicePollStruct poll = ParseDevicePoll(answer.Status, answer.Body);
    switch (poll.State) {
      case TDevicePollState::dpPending: break;
      case TDevicePollState::dpSlowDown: interval += std::chrono::seconds(5); break;
      case TDevicePollState::dpDone:
        if (poll.Token.RefreshToken.empty()) throw EOAuthError(std::string(texts::kNoRefreshToken));
        return poll.Token.RefreshToken;
    }
  }
}

}  // namespace eqd::oauth
