// What a driver object signs in with when its SMTP login is OAuth 2.0: the flow that gets
// the token and the values it needs, as the settings hold them.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace eqd::oauth {

enum class TOAuthFlow {
  ofNone,                  // not used
  ofMs365App,              // client credentials of an application registered in Microsoft Entra ID
  ofGoogleServiceAccount,  // a service account's signed assertion (JWT bearer) on behalf of the mailbox
  ofRefreshToken,          // a refresh token someone signed in for once
  ofAccessToken,           // a token the host got itself
};

// The stored values of the setting "OAuthFlow" (hosts write them): "ms365-app",
// "google-service-account", "refresh-token", "access-token"; empty is ofNone, anything
// else none at all.
std::optional<TOAuthFlow> OAuthFlowFromText(std::string_view text);
std::string_view OAuthFlowText(TOAuthFlow flow);

struct TOAuthSettingsStruct {
  TOAuthFlow Flow = TOAuthFlow::ofNone;
  std::string Tenant;
  std::string ClientId;
  std::string ClientSecret;
  std::string RefreshToken;
  std::string ServiceAccountKey;  // the key's JSON text, or the path of a file holding it
  std::string AccessToken;
  std::string TokenUrl;   // empty: the flow's provider default
  std::string DeviceUrl;  // empty: the provider default
  std::string Scope;      // empty: the flow's default
  std::string SmtpServer;  // the SMTP server's name, which tells the provider
  std::string Mailbox;     // whom the token signs in as

  bool operator==(const TOAuthSettingsStruct&) const = default;
};

// The settings of this sign-in by their IDs ("OAuthFlow", "OAuthTenant", ...,
// "SmtpServerName", "SmtpServerUser", "UserEmail"); `value` gives a setting's text, empty
// when it is not set. EOAuthError for an "OAuthFlow" that is none of the stored values.
TOAuthSettingsStruct ReadOAuthSettings(const std::function<std::string(std::string_view id)>& value);

// Whom the token signs in as: the SMTP user name, else the address of the sender
// ("Робот <robot@example.com>" gives robot@example.com).
std::string OAuthMailbox(const std::string& smtpUser, const std::string& userEmail);

// What is missing or wrong for the flow, in Russian, naming the setting; empty when the
// settings are complete. Nothing is fetched or read.
std::string CheckOAuthSettings(const TOAuthSettingsStruct& settings);

}  // namespace eqd::oauth
