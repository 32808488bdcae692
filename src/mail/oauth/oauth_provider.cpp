#include "mail/oauth/oauth_provider.h"

#include "automation/ascii_case.h"

namespace eqd::oauth {
namespace {

struct TProviderDomainStruct {
  std::string_view Domain;
  TOAuthProvider Provider;
};

constexpr TProviderDomainStruct kDomains[] = {
    {"office365.com", TOAuthProvider::opMicrosoft}, {"outlook.com", TOAuthProvider::opMicrosoft},
    {"hotmail.com", TOAuthProvider::opMicrosoft},   {"live.com", TOAuthProvider::opMicrosoft},
    {"gmail.com", TOAuthProvider::opGoogle},        {"googlemail.com", TOAuthProvider::opGoogle},
    {"google.com", TOAuthProvider::opGoogle},       {"yandex.ru", TOAuthProvider::opYandex},
    {"yandex.com", TOAuthProvider::opYandex},       {"yandex.net", TOAuthProvider::opYandex},
    {"mail.ru", TOAuthProvider::opMailRu},
};

constexpr std::string_view kMicrosoftLogin = "https://login.microsoftonline.com/";
constexpr std::string_view kMicrosoftAppScope = "https://outlook.office365.com/.default";
// A person's delegated sign-in: sending over SMTP, and a refresh token to keep.
constexpr std::string_view kMicrosoftUserScope = "https://outlook.office.com/SMTP.Send offline_access";
constexpr std::string_view kGoogleToken = "https://oauth2.googleapis.com/token";
constexpr std::string_view kGoogleMailScope = "https://mail.google.com/";
constexpr std::string_view kYandexToken = "https://oauth.yandex.ru/token";
constexpr std::string_view kYandexDevice = "https://oauth.yandex.ru/device/code";
constexpr std::string_view kMailRuToken = "https://oauth.mail.ru/token";

// The tenant goes into the endpoint's path: letters, digits, "-" and "_" pass, and a dot
// between two of those (a domain name); anything else is percent-encoded, so the tenant
// cannot add a path segment or make one of dots.
std::string TenantPath(std::string_view tenant) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto plain = [](char ch) {
    const auto c = static_cast<unsigned char>(ch);
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
  };
  std::string out;
  for (std::size_t i = 0; i < tenant.size(); ++i) {
    const char ch = tenant[i];
    const bool innerDot = ch == '.' && i > 0 && i + 1 < tenant.size() && plain(tenant[i - 1]) && plain(tenant[i + 1]);
    if (plain(ch) || innerDot) {
      out += ch;
    } else {
      const auto c = static_cast<unsigned char>(ch);
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string MicrosoftEndpoint(const std::string& tenant, std::string_view fallbackTenant, std::string_view leaf) {
  return std::string(kMicrosoftLogin) + TenantPath(tenant.empty() ? fallbackTenant : std::string_view(tenant)) +
         "/oauth2/v2.0/" + std::string(leaf);
}

}  // namespace

TOAuthProvider ProviderOfSmtpServer(std::string_view host) {
  while (!host.empty() && host.back() == '.') host.remove_suffix(1);
  for (const auto& entry : kDomains) {
    if (host.size() < entry.Domain.size()) continue;
    const std::string_view tail = host.substr(host.size() - entry.Domain.size());
    const bool wholeLabel = host.size() == entry.Domain.size() || host[host.size() - entry.Domain.size() - 1] == '.';
    if (wholeLabel && AsciiSameText(tail, entry.Domain)) return entry.Provider;
  }
  return TOAuthProvider::opUnknown;
}

TOAuthEndpointsStruct OAuthEndpoints(const TOAuthSettingsStruct& settings) {
  TOAuthEndpointsStruct defaults;
  switch (settings.Flow) {
    case TOAuthFlow::ofMs365App:
      defaults.TokenUrl = settings.Tenant.empty() ? std::string() : MicrosoftEndpoint(settings.Tenant, {}, "token");
      defaults.Scope = kMicrosoftAppScope;
      break;
    case TOAuthFlow::ofGoogleServiceAccount:
      defaults.TokenUrl = kGoogleToken;
      defaults.Scope = kGoogleMailScope;
      break;
    case TOAuthFlow::ofRefreshToken:
      switch (ProviderOfSmtpServer(settings.SmtpServer)) {
        case TOAuthProvider::opMicrosoft:
          // Work or school accounts sign in through "organizations", personal ones through
          // "consumers"; "common" takes both.
          defaults.TokenUrl = MicrosoftEndpoint(settings.Tenant, "common", "token");
          defaults.DeviceUrl = MicrosoftEndpoint(settings.Tenant, "common", "devicecode");
          defaults.Scope = kMicrosoftUserScope;
          break;
        case TOAuthProvider::opGoogle: defaults.TokenUrl = kGoogleToken; break;
        case TOAuthProvider::opYandex:
          defaults.TokenUrl = kYandexToken;
          defaults.DeviceUrl = kYandexDevice;
          defaults.DeviceStyle = TDeviceGrantStyle::dgYandex;
          break;
        case TOAuthProvider::opMailRu: defaults.TokenUrl = kMailRuToken; break;
        case TOAuthProvider::opUnknown: break;
      }
      break;
    case TOAuthFlow::ofAccessToken:
    case TOAuthFlow::ofNone: break;
  }
  if (!settings.TokenUrl.empty()) defaults.TokenUrl = settings.TokenUrl;
  if (!settings.DeviceUrl.empty()) defaults.DeviceUrl = settings.DeviceUrl;
  if (!settings.Scope.empty()) defaults.Scope = settings.Scope;
  return defaults;
}

}  // namespace eqd::oauth
