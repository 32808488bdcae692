#include "settings_ui/security_settings_tab.h"

#include <algorithm>

#include "automation/errors.h"
#include "mail/security/connection_security.h"
#include "mail/security/mail_services.h"
#include "settings_ui/main_settings_page.h"
#include "settings_ui/settings_ui_texts.h"

namespace eqd {
namespace {

constexpr const char* kSettingOf[scCount] = {"SmtpSecurity", "SmtpAuthMethod"};

std::vector<std::string> FixedItems(TSecurityChoice Choice) {
  std::vector<std::string> items;
  if (Choice == scSecurity)
    for (const TSmtpSecurityOption& o : SmtpSecurityOptions()) items.emplace_back(o.Text);
  else
    for (const TSmtpAuthMethodOption& o : SmtpAuthMethods()) items.emplace_back(o.Text);
  return items;
}

// The item that stands for `text`: a fixed value read as Enable reads it, else the text
// itself, added after the fixed values.
std::size_t ItemFor(TSecurityChoice Choice, const std::string& text, std::vector<std::string>& items) {
  items = FixedItems(Choice);
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

}  // namespace

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
}

void TSecuritySettingsTab::SaveSettings() {
  if (FView == nullptr) return;
  for (std::size_t c = 0; c < scCount; ++c) {
    const std::size_t selected = FView->SelectedChoice(static_cast<TSecurityChoice>(c));
    if (selected < FItems[c].size()) FDevice.SetSettingValue(kSettingOf[c], Variant(FItems[c][selected]));
  }
  FDevice.SetSettingValue("SmtpVerifyCertificate", Variant(FView->VerifyChecked()));
  FDevice.SetSettingValue("SmtpCertificatePin", Variant(FView->PinText()));
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
  FView->SetServiceNote(std::string(service.Name) + ": " + service.Note);
}

}  // namespace eqd
