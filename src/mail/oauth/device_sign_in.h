// Signing in a person with the device authorization grant (RFC 8628), for the
// refresh-token flow: the driver shows a code and an address, the person approves the
// code in a browser anywhere, and the driver polls the token endpoint until it gets the
// refresh token to keep.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "mail/oauth/oauth_provider.h"
#include "mail/oauth/oauth_requests.h"
#include "mail/oauth/oauth_settings.h"
#include "mail/oauth/token_source.h"

namespace eqd::oauth {

class TDeviceSignIn {
 public:
  // Waits the given time between polls; false when the person cancelled meanwhile.
  using TWait = std::function<bool(std::chrono::seconds)>;

  explicit TDeviceSignIn(TOAuthSettingsStruct settings, TOAuthTokenSource::TSend send = &platform::HttpsSend);

  // Asks the provider for a code. EOAuthError when the settings name no client or the
  // provider offers no device sign-in, or when the provider refuses.
  TDeviceAuthorizationStruct Start();

  // Polls at the provider's interval (longer after each slow_down) until the code is
  // approved: returns the refresh token. None when `wait` reports a cancel. EOAuthError
  // when the person refused, the code expired or the answer carries no refresh token.
  std::optional<std::string> WaitForApproval(const TWait& wait);

 private:
  TOAuthSettingsStruct settings_;
  TOAuthTokenSource::TSend send_;
  TOAuthEndpointsStruct endpoints_;
  TDeviceAuthorizationStruct device_;
};

}  // namespace eqd::oauth
