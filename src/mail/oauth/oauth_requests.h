// Token-endpoint requests and answers as data: each request is the address and the form
// fields, each answer is read from the HTTP status and the JSON body. No sockets here.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace eqd::oauth {

using TFormFields = std::vector<std::pair<std::string, std::string>>;

struct TOAuthRequestStruct {
  std::string Url;
  TFormFields Form;
};

// application/x-www-form-urlencoded: every byte but ALPHA, DIGIT and -._~ as %XX, blanks too.
std::string FormEncode(const TFormFields& fields);

TOAuthRequestStruct ClientCredentialsRequest(const std::string& url, const std::string& clientId,
                                             const std::string& clientSecret, const std::string& scope);
// The secret and the scope are sent only when not empty.
TOAuthRequestStruct RefreshTokenRequest(const std::string& url, const std::string& clientId,
                                        const std::string& clientSecret, const std::string& refreshToken,
                                        const std::string& scope);
TOAuthRequestStruct JwtBearerRequest(const std::string& url, const std::string& assertion);
TOAuthRequestStruct DeviceAuthorizationRequest(const std::string& url, const std::string& clientId,
                                               const std::string& scope);
// Yandex takes the device code in a field of its own naming, under a grant type of its own.
enum class TDeviceGrantStyle { dgStandard, dgYandex };
TOAuthRequestStruct DeviceTokenRequest(const std::string& url, const std::string& clientId,
                                       const std::string& clientSecret, const std::string& deviceCode,
                                       TDeviceGrantStyle style = TDeviceGrantStyle::dgStandard);

struct TOAuthTokenStruct {
  std::string AccessToken;
  std::chrono::seconds ExpiresIn{0};  // 0: the answer did not say
  std::string RefreshToken;           // empty: none given (the old one stays)
};

// A token answer: 200 with an access token; any other answer throws EOAuthError with
// the explanation of its "error" code (or of the status when the body is not an OAuth
// error).
TOAuthTokenStruct ParseTokenResponse(int httpStatus, std::string_view body);

struct TDeviceAuthorizationStruct {
  std::string DeviceCode;
  std::string UserCode;
  std::string VerificationUri;
  std::string VerificationUriComplete;  // may be empty
  std::string Message;                  // the provider's own instruction, may be empty
  std::chrono::seconds ExpiresIn{0};
  std::chrono::seconds Interval{5};
};

// The answer to a device authorization request; EOAuthError when it is an error or lacks
// a field the sign-in needs.
TDeviceAuthorizationStruct ParseDeviceAuthorization(int httpStatus, std::string_view body);

enum class TDevicePollState { dpPending, dpSlowDown, dpDone };

struct TDevicePollStruct {
  TDevicePollState State = TDevicePollState::dpPending;
  TOAuthTokenStruct Token;  // with dpDone
};

// One poll's answer: authorization_pending and slow_down keep the sign-in going, a token
// ends it; any other error (access_denied, expired_token, ...) throws EOAuthError.
TDevicePollStruct ParseDevicePoll(int httpStatus, std::string_view body);

}  // namespace eqd::oauth
