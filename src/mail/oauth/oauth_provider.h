// The mail services the driver knows by name, and their OAuth 2.0 defaults: token and
// device endpoints, scopes. A setting that names an endpoint or a scope wins over these.
#pragma once

#include <string>
#include <string_view>

#include "mail/oauth/oauth_requests.h"
#include "mail/oauth/oauth_settings.h"

namespace eqd::oauth {

enum class TOAuthProvider { opUnknown, opMicrosoft, opGoogle, opYandex, opMailRu };

// The provider whose SMTP server this is ("smtp.office365.com" is Microsoft), by the
// domain it belongs to; opUnknown for any other.
TOAuthProvider ProviderOfSmtpServer(std::string_view host);

struct TOAuthEndpointsStruct {
  std::string TokenUrl;   // empty: none known
  std::string DeviceUrl;  // empty: the provider offers no device sign-in (or none known)
  std::string Scope;      // may be empty: the grant's own scope
  TDeviceGrantStyle DeviceStyle = TDeviceGrantStyle::dgStandard;
};

// The endpoints and scope the settings' flow uses: what the settings name, else the
// defaults of the flow and of the provider recognised from the SMTP server.
TOAuthEndpointsStruct OAuthEndpoints(const TOAuthSettingsStruct& settings);

}  // namespace eqd::oauth
