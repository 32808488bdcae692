// TfrmMainSettings: the e-mail driver's one settings page. Three inner tabs, "Настройки
// SMTP" with the server, port, user, password and sender address, "Общие" with the
// default subject and body, every field of them one setting read and written as text,
// and "Безопасность" with connection security (security_settings_tab.h).
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "settings_ui/security_settings_tab.h"
#include "settings_ui/settings_page.h"

namespace eqd {

enum TMainSettingsField : std::size_t {
  mfSmtpServerName,
  mfSmtpServerPort,
  mfSmtpServerUser,
  mfSmtpServerPassword,
  mfUserEmail,
  mfSubject,
  mfBodyText,
  mfCount
};

struct TMainSettingsFieldInfo {
  const char* SettingID;  // letter for letter as the driver registers it
  const char* Label;
  int Tab;                // 0: "Настройки SMTP", 1: "Общие"
  const char* Hint;       // tooltip, or nullptr
  const char* AccessKey;  // the letter of the label that Alt reaches the field by
};

// The fields in reading and saving order.
const std::array<TMainSettingsFieldInfo, mfCount>& MainSettingsFields();

// What the page's toolkit layer offers: the text of each field's control.
class TMainSettingsView {
 public:
  virtual ~TMainSettingsView() = default;
  virtual std::string FieldText(TMainSettingsField Field) = 0;
  virtual void SetFieldText(TMainSettingsField Field, const std::string& Text) = 0;
};

class TfrmMainSettings : public TfrmBaseSettings {
 public:
  static constexpr const char* kClassName = "TfrmMainSettings";

  explicit TfrmMainSettings(TBaseDevice& ADeviceManager);

  // Until a view is attached, reading and saving do nothing.
  void SetView(TMainSettingsView* View) { FView = View; }
  void SetSecurityView(TSecuritySettingsView* View) { FSecurity.SetView(View); }
  // An item of the mail services list was chosen (MailServiceItems()).
  void MailServiceChosen(std::size_t Index);
  // The security tab's login or OAuth flow drop-down changed.
  void SecurityChoiceChanged() { FSecurity.ChoiceChanged(); }
  // "Войти…": the settings of the sign-in as the window holds them, and its result
  // (TSecuritySettingsTab::SignInSettings, SignedIn).
  oauth::TOAuthSettingsStruct SignInSettings();
  void SignedIn(const std::string& RefreshToken) { FSecurity.SignedIn(RefreshToken); }

  using TfrmBaseSettings::OnSaveSettings;
  // Every field into its setting as a string value, the port included.
  void OnSaveSettings() override;
  // Every field from its setting's text (empty for an unknown setting).
  void OnReadSettings() override;

 private:
  TMainSettingsView* FView = nullptr;
  TSecuritySettingsTab FSecurity;
};

}  // namespace eqd
