#include "settings_ui/security_settings_tab.h"

#include <algorithm>

#include "automation/errors.h"
#include "mail/base_email_client.h"
#include "mail/security/connection_security.h"
#include "mail/oauth/oauth_texts.h"
#include "mail/security/mail_services.h"
#include "settings_ui/main_settings_page.h"
#include "settings_ui/settings_ui_texts.h"

namespace eqd {
namespace {

constexpr const char* kSettingOf[scCount] = {"SmtpSecurity", "SmtpAuthMethod", "OAuthFlow"};

std::vector<std::string> FixedItems(TSecurityChoice Choice) {
  std::vector<std::string> items;
  if (Choice == scSecurity)
    for (const TSmtpSecurityOption& o : SmtpSecurityOptions()) items.emplace_back(o.Text);
  else if (Choice == scAuthMethod)
    for (const TSmtpAuthMethodOption& o : SmtpAuthMethods()) items.emplace_back(o.Text);
  else
    for (const auto& flow : oauth::texts::kFlowCaptions) items.emplace_back(flow.Text);
  return items;
}

// The flows are stored by their values and shown by their captions, in the same order.
constexpr std::size_t kFlowCount = std::size(oauth::texts::kFlowCaptions);

// The item that stands for `text`: a fixed value read as Enable reads it, else the text
// itself, added after the fixed values.
std::size_t ItemFor(TSecurityChoice Choice, const std::string& text, std::vector<std::string>& items) {
  items = FixedItems(Choice);
  if (Choice == scOAuthFlow) {
    for (std::size_t i = 0; i < kFlowCount; ++i)
      if (oauth::texts::kFlowCaptions[i].Code == text) return i;
    items.push_back(text);
    return items.size() - 1;
  }
  const bool known = Choice == scSecurity ? SmtpSecurityFromText(text).has_value()
                                          : SmtpAuthMethodFromText(text).has_value();
  if (known) {
    const std::string canonical = Choice == scSecurity ? SmtpSecurityText(*SmtpSecurityFromText(text))
                                                       : SmtpAuthMethodInfo(*SmtpAuthMethodFromText(text)).Text;
    return static_cast<std::size_t>(std::find(items.begin(), items.end(), canonical) - items.begin());
  }
  items.push_back(text);
  return items.size() - 1;
}

// The fields each flow uses (Enable's checks and the provider defaults read them).
bool FlowUses(oauth::TOAuthFlow Flow, TOAuthField Field) {
  using F = oauth::TOAuthFlow;
  switch (Flow) {
    case F::ofMs365App:
      return Field == oaTenant || Field == oaClientId || Field == oaClientSecret || Field == oaTokenUrl ||
             Field == oaScope;
    case F::ofGoogleServiceAccount: return Field == oaServiceAccountKey || Field == oaTokenUrl || Field == oaScope;
    case F::ofRefreshToken:
      return Field != oaServiceAccountKey && Field != oaAccessToken;  // the tenant for Microsoft's endpoints
    case F::ofAccessToken: return Field == oaAccessToken;
    case F::ofNone: return false;
  }
  return false;
}

}  // namespace

const std::array<TOAuthFieldInfo, oaCount>& OAuthFields() {
  namespace t = settings_ui_texts;
  static const std::array<TOAuthFieldInfo, oaCount> fields{{
      {"OAuthTenant", t::kLabelOAuthTenant, t::kOAuthTenantKey, t::kOAuthTenantHint},
      {"OAuthClientId", t::kLabelOAuthClientId, t::kOAuthClientIdKey, t::kOAuthClientIdHint},
      {"OAuthClientSecret", t::kLabelOAuthClientSecret, t::kOAuthClientSecretKey, t::kOAuthClientSecretHint},
      {"OAuthRefreshToken", t::kLabelOAuthRefreshToken, t::kOAuthRefreshTokenKey, t::kOAuthRefreshTokenHint},
      {"OAuthServiceAccountKey", t::kLabelOAuthServiceAccountKey, t::kOAuthServiceAccountKeyKey,
       t::kOAuthServiceAccountKeyHint},
      {"OAuthAccessToken", t::kLabelOAuthAccessToken, t::kOAuthAccessTokenKey, t::kOAuthAccessTokenHint},
      {"OAuthTokenUrl", t::kLabelOAuthTokenUrl, t::kOAuthTokenUrlKey, t::kOAuthTokenUrlHint},
      {"OAuthDeviceUrl", t::kLabelOAuthDeviceUrl, t::kOAuthDeviceUrlKey, t::kOAuthDeviceUrlHint},
      {"OAuthScope", t::kLabelOAuthScope, t::kOAuthScopeKey, t::kOAuthScopeHint},
  }};
  return fields;
}

std::vector<std::string> MailServiceItems() {
  std::vector<std::string> items{settings_ui_texts::kNoMailService};
  for (const TMailServiceStruct& s : MailServices()) items.emplace_back(s.Name);
  return items;
}

void TSecuritySettingsTab::ReadSettings() {
  if (FView == nullptr) return;
  for (std::size_t c = 0; c < scCount; ++c) {
    const auto choice = static_cast<TSecurityChoice>(c);
    const std::size_t selected = ItemFor(choice, FDevice.GetSettingValueStr(kSettingOf[c]), FItems[c]);
    FView->SetChoices(choice, FItems[c], selected);
  }
  bool verify = false;
  try {
    verify = FDevice.GetSettingValueBool("SmtpVerifyCertificate");
  } catch (const EDriverError&) {
    // A value that is no Boolean shows unchecked; Enable names it.
  }
  FView->SetVerifyChecked(verify);
  FView->SetPinText(FDevice.GetSettingValueStr("SmtpCertificatePin"));
  FView->SetServiceNote("");
  for (std::size_t f = 0; f < oaCount; ++f)
    FView->SetOAuthText(static_cast<TOAuthField>(f), FDevice.GetSettingValueStr(OAuthFields()[f].SettingID));
  ChoiceChanged();
}

void TSecuritySettingsTab::SaveSettings() {
  if (FView == nullptr) return;
  for (std::size_t c = 0; c < scCount; ++c) {
    const auto choice = static_cast<TSecurityChoice>(c);
    if (const std::size_t selected = FView->SelectedChoice(choice); selected < FItems[c].size())
      FDevice.SetSettingValue(kSettingOf[c], Variant(choice == scOAuthFlow ? ChosenFlowText() : FItems[c][selected]));
  }
  FDevice.SetSettingValue("SmtpVerifyCertificate", Variant(FView->VerifyChecked()));
  FDevice.SetSettingValue("SmtpCertificatePin", Variant(FView->PinText()));
  // Every field, the hidden ones too: a flow chosen back later finds its values.
  for (std::size_t f = 0; f < oaCount; ++f)
    FDevice.SetSettingValue(OAuthFields()[f].SettingID, Variant(FView->OAuthText(static_cast<TOAuthField>(f))));
}

std::string TSecuritySettingsTab::ChosenFlowText() {
  const std::size_t selected = FView->SelectedChoice(scOAuthFlow);
  if (selected < kFlowCount) return std::string(oauth::texts::kFlowCaptions[selected].Code);
  return selected < FItems[scOAuthFlow].size() ? FItems[scOAuthFlow][selected] : std::string();
}

TOAuthRowsStruct TSecuritySettingsTab::ShownRows() {
  TOAuthRowsStruct rows;
  const std::size_t method = FView->SelectedChoice(scAuthMethod);
  if (method >= FItems[scAuthMethod].size() ||
      SmtpAuthMethodFromText(FItems[scAuthMethod][method]) != TSmtpAuthMethod::amOAuth2)
    return rows;
  rows.Flow = true;
  // A flow the driver does not know shows no fields; Enable names it.
  const oauth::TOAuthFlow flow = oauth::OAuthFlowFromText(ChosenFlowText()).value_or(oauth::TOAuthFlow::ofNone);
  for (std::size_t f = 0; f < oaCount; ++f) rows.Fields[f] = FlowUses(flow, static_cast<TOAuthField>(f));
  rows.SignIn = flow == oauth::TOAuthFlow::ofRefreshToken;
  return rows;
}

void TSecuritySettingsTab::ChoiceChanged() {
  if (FView != nullptr) FView->ShowOAuthRows(ShownRows());
}

oauth::TOAuthSettingsStruct TSecuritySettingsTab::SignInSettings(TMainSettingsView& SmtpView) {
  if (FView == nullptr || ChosenFlowText() != oauth::OAuthFlowText(oauth::TOAuthFlow::ofRefreshToken))
    throw EDriverError(settings_ui_texts::kSignInNeedsRefreshFlow);
  return oauth::ReadOAuthSettings([&](std::string_view id) -> std::string {
    if (id == "OAuthFlow") return ChosenFlowText();
    if (id == "SmtpServerName") return TrimBlanks(SmtpView.FieldText(mfSmtpServerName));
    if (id == "SmtpServerUser") return TrimBlanks(SmtpView.FieldText(mfSmtpServerUser));
    if (id == "UserEmail") return TrimBlanks(SmtpView.FieldText(mfUserEmail));
    for (std::size_t f = 0; f < oaCount; ++f)
      if (id == OAuthFields()[f].SettingID) return TrimBlanks(FView->OAuthText(static_cast<TOAuthField>(f)));
    return {};
  });
}

void TSecuritySettingsTab::SignedIn(const std::string& RefreshToken) {
  if (FView != nullptr) FView->SetOAuthText(oaRefreshToken, RefreshToken);
}

void TSecuritySettingsTab::MailServiceChosen(std::size_t Index, TMainSettingsView& SmtpView) {
  if (FView == nullptr || Index == 0 || Index > MailServices().size()) return;
  const TMailServiceStruct& service = MailServices()[Index - 1];
  SmtpView.SetFieldText(mfSmtpServerName, service.Host);
  SmtpView.SetFieldText(mfSmtpServerPort, std::to_string(service.Port));
  const std::size_t security = ItemFor(scSecurity, SmtpSecurityText(service.Security), FItems[scSecurity]);
  FView->SetChoices(scSecurity, FItems[scSecurity], security);
  const std::size_t method = ItemFor(scAuthMethod, SmtpAuthMethodInfo(service.AuthMethod).Text, FItems[scAuthMethod]);
  FView->SetChoices(scAuthMethod, FItems[scAuthMethod], method);
  ChoiceChanged();
  FView->SetServiceNote(std::string(service.Name) + ": " + service.Note);
}

}  // namespace eqd
