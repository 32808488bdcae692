#include "mail/oauth/oauth_requests.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "mail/oauth/oauth_error.h"
#include "mail/oauth/oauth_texts.h"

namespace eqd::oauth {
namespace {

using nlohmann::json;

// A JSON object, or null when the body is not one (a proxy's HTML page, say).
json ParseObject(std::string_view body) {
  json parsed = json::parse(body, nullptr, /*allow_exceptions=*/false);
  return parsed.is_object() ? parsed : json();
}

std::string Text(const json& object, const char* name) {
  if (!object.is_object()) return {};
  const auto it = object.find(name);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// Lifetimes come as numbers, from some providers as strings of digits.
std::chrono::seconds Seconds(const json& object, const char* name, std::chrono::seconds absent) {
  const auto it = object.find(name);
  if (it == object.end()) return absent;
  long long value = -1;
  if (it->is_number_integer()) {
    value = it->get<long long>();
  } else if (it->is_number_float()) {
    value = static_cast<long long>(it->get<double>());
  } else if (it->is_string()) {
    const std::string digits = it->get<std::string>();
    if (!digits.empty() && digits.size() < 10 && digits.find_first_not_of("0123456789") == std::string::npos)
      value = std::stoll(digits);
  }
  // Ten years is more than any token lives; beyond it the number is nonsense.
  return value >= 0 && value <= 315360000 ? std::chrono::seconds(value) : absent;
}

[[noreturn]] void ThrowTokenError(int httpStatus, const json& answer) {
  const std::string code = Text(answer, "error");
  throw EOAuthError(ExplainTokenError(httpStatus, code, Text(answer, "error_description")), code);
}

TOAuthTokenStruct TokenOf(const json& answer) {
  TOAuthTokenStruct token;
  token.AccessToken = Text(answer, "access_token");
  if (token.AccessToken.empty()) throw EOAuthError(std::string(texts::kNotAToken));
  token.ExpiresIn = Seconds(answer, "expires_in", std::chrono::seconds(0));
  token.RefreshToken = Text(answer, "refresh_token");
  return token;
}

}  // namespace

std::string FormEncode(const TFormFields& fields) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  const auto encode = [&out](std::string_view text) {
    for (const char ch : text) {
      const auto c = static_cast<unsigned char>(ch);
      if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
          c == '_' || c == '~') {
        out += ch;
      } else {
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 15];
      }
    }
  };
  for (const auto& [name, value] : fields) {
    if (!out.empty()) out += '&';
    encode(name);
    out += '=';
    encode(value);
  }
  return out;
}

TOAuthRequestStruct ClientCredentialsRequest(const std::string& url, const std::string& clientId,
                                             const std::string& clientSecret, const std::string& scope) {
  return {url,
          {{"grant_type", "client_credentials"}, {"client_id", clientId}, {"client_secret", clientSecret}, {"scope", scope}}};
}

TOAuthRequestStruct RefreshTokenRequest(const std::string& url, const std::string& clientId,
                                        const std::string& clientSecret, const std::string& refreshToken,
                                        const std::string& scope) {
  TOAuthRequestStruct request{url, {{"grant_type", "refresh_token"}, {"client_id", clientId}}};
  if (!clientSecret.empty()) request.Form.emplace_back("client_secret", clientSecret);
  request.Form.emplace_back("refresh_token", refreshToken);
  if (!scope.empty()) request.Form.emplace_back("scope", scope);
  return request;
}

TOAuthRequestStruct JwtBearerRequest(const std::string& url, const std::string& assertion) {
  return {url, {{"grant_type", "urn:ietf:params:oauth:grant-type:jwt-bearer"}, {"assertion", assertion}}};
}

TOAuthRequestStruct DeviceAuthorizationRequest(const std::string& url, const std::string& clientId,
                                               const std::string& scope) {
  TOAuthRequestStruct request{url, {{"client_id", clientId}}};
  if (!scope.empty()) request.Form.emplace_back("scope", scope);
  return request;
}

TOAuthRequestStruct DeviceTokenRequest(const std::string& url, const std::string& clientId,
                                       const std::string& clientSecret, const std::string& deviceCode,
                                       TDeviceGrantStyle style) {
  const bool yandex = style == TDeviceGrantStyle::dgYandex;
  TOAuthRequestStruct request{
      url, {{"grant_type", yandex ? "device_code" : "urn:ietf:params:oauth:grant-type:device_code"},
            {"client_id", clientId}}};
  if (!clientSecret.empty()) request.Form.emplace_back("client_secret", clientSecret);
  request.Form.emplace_back(yandex ? "code" : "device_code", deviceCode);
  return request;
}

TOAuthTokenStruct ParseTokenResponse(int httpStatus, std::string_view body) {
  const json answer = ParseObject(body);
  if (httpStatus != 200 || !Text(answer, "error").empty()) ThrowTokenError(httpStatus, answer);
  return TokenOf(answer);
}

TDeviceAuthorizationStruct ParseDeviceAuthorization(int httpStatus, std::string_view body) {
  const json answer = ParseObject(body);
  if (httpStatus != 200 || !Text(answer, "error").empty()) ThrowTokenError(httpStatus, answer);
  TDeviceAuthorizationStruct device;
  device.DeviceCode = Text(answer, "device_code");
  device.UserCode = Text(answer, "user_code");
  device.VerificationUri = Text(answer, "verification_uri");
  if (device.VerificationUri.empty()) device.VerificationUri = Text(answer, "verification_url");  // Google, Yandex
  device.VerificationUriComplete = Text(answer, "verification_uri_complete");
  device.Message = Text(answer, "message");
  device.ExpiresIn = Seconds(answer, "expires_in", std::chrono::seconds(600));
  device.Interval = Seconds(answer, "interval", std::chrono::seconds(5));
  // Polling faster than once a second helps nobody, and an interval of hours means the
  // sign-in would never finish in time.
  device.Interval = std::clamp(device.Interval, std::chrono::seconds(1), std::chrono::seconds(60));
  if (device.DeviceCode.empty() || device.UserCode.empty() || device.VerificationUri.empty())
    throw EOAuthError(std::string(texts::kNotADeviceAnswer));
  return device;
}

TDevicePollStruct ParseDevicePoll(int httpStatus, std::string_view body) {
  const json answer = ParseObject(body);
  const std::string error = Text(answer, "error");
  if (error == "authorization_pending") return {TDevicePollState::dpPending, {}};
  if (error == "slow_down") return {TDevicePollState::dpSlowDown, {}};
  if (httpStatus != 200 || !error.empty()) ThrowTokenError(httpStatus, answer);
  return {TDevicePollState::dpDone, TokenOf(answer)};
}

}  // namespace eqd::oauth
