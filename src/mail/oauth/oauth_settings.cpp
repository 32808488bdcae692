#include "mail/oauth/oauth_settings.h"

#include "mail/codecs/address_list.h"
#include "mail/oauth/oauth_error.h"
#include "mail/oauth/oauth_provider.h"
#include "mail/oauth/oauth_texts.h"

namespace eqd::oauth {
namespace {

struct TFlowNameStruct {
  TOAuthFlow Flow;
  std::string_view Text;
};

constexpr TFlowNameStruct kFlowNames[] = {
    {TOAuthFlow::ofNone, ""},
    {TOAuthFlow::ofMs365App, "ms365-app"},
    {TOAuthFlow::ofGoogleServiceAccount, "google-service-account"},
    {TOAuthFlow::ofRefreshToken, "refresh-token"},
    {TOAuthFlow::ofAccessToken, "access-token"},
};

std::string Missing(std::string_view what, TOAuthFlow flow) {
  std::string text(texts::kMissing);
  text += what;
  text += " (";
  text += texts::kForFlow;
  text += " «";
  text += OAuthFlowText(flow);
  text += "»)";
  return text;
}

}  // namespace

std::optional<TOAuthFlow> OAuthFlowFromText(std::string_view text) {
  for (const auto& entry : kFlowNames)
    if (entry.Text == text) return entry.Flow;
  return std::nullopt;
}

std::string_view OAuthFlowText(TOAuthFlow flow) {
  for (const auto& entry : kFlowNames)
    if (entry.Flow == flow) return entry.Text;
  return {};
}

TOAuthSettingsStruct ReadOAuthSettings(const std::function<std::string(std::string_view id)>& value) {
  TOAuthSettingsStruct s;
  const std::string flowText = value("OAuthFlow");
  const auto flow = OAuthFlowFromText(flowText);
  if (!flow) throw EOAuthError(std::string(texts::kUnknownFlow) + "«" + flowText + "»");
  s.Flow = *flow;
  s.Tenant = value("OAuthTenant");
  s.ClientId = value("OAuthClientId");
  s.ClientSecret = value("OAuthClientSecret");
  s.RefreshToken = value("OAuthRefreshToken");
  s.ServiceAccountKey = value("OAuthServiceAccountKey");
  s.AccessToken = value("OAuthAccessToken");
  s.TokenUrl = value("OAuthTokenUrl");
  s.DeviceUrl = value("OAuthDeviceUrl");
  s.Scope = value("OAuthScope");
  s.SmtpServer = value("SmtpServerName");
  s.Mailbox = OAuthMailbox(value("SmtpServerUser"), value("UserEmail"));
  return s;
}

std::string OAuthMailbox(const std::string& smtpUser, const std::string& userEmail) {
  if (!smtpUser.empty()) return smtpUser;
  const auto addresses = ParseAddressList(userEmail);
  return addresses.empty() ? std::string() : addresses.front().Address;
}

std::string CheckOAuthSettings(const TOAuthSettingsStruct& settings) {
  const TOAuthFlow flow = settings.Flow;
  const auto need = [&](const std::string& value, std::string_view what) {
    return value.empty() ? Missing(what, flow) : std::string();
  };
  std::string problem;
  switch (flow) {
    case TOAuthFlow::ofNone: return std::string(texts::kMissing) + std::string(texts::kMissingFlow);
    case TOAuthFlow::ofMs365App:
      for (const auto& [value, what] : {std::pair{&settings.Tenant, texts::kMissingTenant},
                                        std::pair{&settings.ClientId, texts::kMissingClientId},
                                        std::pair{&settings.ClientSecret, texts::kMissingClientSecret}})
        if (problem.empty()) problem = need(*value, what);
      break;
    case TOAuthFlow::ofGoogleServiceAccount: problem = need(settings.ServiceAccountKey, texts::kMissingServiceAccountKey); break;
    case TOAuthFlow::ofRefreshToken:
      problem = need(settings.ClientId, texts::kMissingClientId);
      if (problem.empty()) problem = need(settings.RefreshToken, texts::kMissingRefreshToken);
      if (problem.empty()) problem = need(OAuthEndpoints(settings).TokenUrl, texts::kMissingTokenUrl);
      break;
    case TOAuthFlow::ofAccessToken: problem = need(settings.AccessToken, texts::kMissingAccessToken); break;
  }
  // XOAUTH2 and OAUTHBEARER name the mailbox beside the token, whatever the flow.
  if (problem.empty() && settings.Mailbox.empty()) problem = Missing(texts::kMissingMailbox, flow);
  for (const std::string* url : {&settings.TokenUrl, &settings.DeviceUrl})
    if (problem.empty() && !url->empty() && !url->starts_with("https://"))
      problem = std::string(texts::kNotHttps) + *url;
  return problem;
}

}  // namespace eqd::oauth
