// The "Безопасность" tab of the SMTP page: how the connection is protected (a drop-down),
// how the driver logs in (a drop-down), whether the certificate is checked (a check box),
// the key pin (an edit), and a list of mail services whose documented settings fill the
// server, the port and both drop-downs at once. With the login "OAuth 2.0": how the token
// is got (a drop-down of the OAuthFlow values by their Russian captions) and the fields
// that way needs, and for a refresh token the button "Войти…" (oauth_sign_in.h).
//
// The drop-downs list the fixed values of their settings. A stored text that is none of
// them (a host wrote it) is listed too, after them, so that reading and saving without
// a change keeps it as it was; Enable then says what is wrong with it.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "device/base_device.h"
#include "mail/oauth/oauth_settings.h"

namespace eqd {

class TMainSettingsView;

enum TSecurityChoice : std::size_t { scSecurity, scAuthMethod, scOAuthFlow, scCount };

// The text fields of OAuth 2.0 sign-in, one setting each, in the order the tab shows them.
enum TOAuthField : std::size_t {
  oaTenant,
  oaClientId,
  oaClientSecret,
  oaRefreshToken,
  oaServiceAccountKey,
  oaAccessToken,
  oaTokenUrl,
  oaDeviceUrl,
  oaScope,
  oaCount
};

struct TOAuthFieldInfo {
  const char* SettingID;
  const char* Label;
  const char* AccessKey;
  const char* Hint;
};
const std::array<TOAuthFieldInfo, oaCount>& OAuthFields();

// Which OAuth rows the tab shows: the flow's drop-down, the fields the chosen flow uses,
// and the button "Войти…" (beside the refresh token).
struct TOAuthRowsStruct {
  bool Flow = false;
  std::array<bool, oaCount> Fields{};
  bool SignIn = false;
  bool operator==(const TOAuthRowsStruct&) const = default;
};

// What the tab's toolkit layer offers.
class TSecuritySettingsView {
 public:
  virtual ~TSecuritySettingsView() = default;
  virtual void SetChoices(TSecurityChoice Choice, const std::vector<std::string>& Items, std::size_t Selected) = 0;
  virtual std::size_t SelectedChoice(TSecurityChoice Choice) = 0;
  virtual bool VerifyChecked() = 0;
  virtual void SetVerifyChecked(bool Checked) = 0;
  virtual std::string PinText() = 0;
  virtual void SetPinText(const std::string& Text) = 0;
  // The note under the services list: what the chosen service asks of the user.
  virtual void SetServiceNote(const std::string& Text) = 0;
  virtual std::string OAuthText(TOAuthField Field) = 0;
  virtual void SetOAuthText(TOAuthField Field, const std::string& Text) = 0;
  virtual void ShowOAuthRows(const TOAuthRowsStruct& Rows) = 0;
};

// The mail services list's items: a first item that chooses nothing, then one per
// service of the preset table.
std::vector<std::string> MailServiceItems();

class TSecuritySettingsTab {
 public:
  explicit TSecuritySettingsTab(TBaseDevice& Device) : FDevice(Device) {}

  void SetView(TSecuritySettingsView* View) { FView = View; }

  void ReadSettings();
  void SaveSettings();

  // Item `Index` of MailServiceItems() was chosen: the service's server and port go into
  // the SMTP tab's fields through `SmtpView`, its security and login method into the
  // drop-downs, and its note under the list. The first item changes nothing.
  void MailServiceChosen(std::size_t Index, TMainSettingsView& SmtpView);

  // The user chose another item of a drop-down: the OAuth rows follow the login and the flow.
  void ChoiceChanged();

  // The settings "Войти…" signs in with: the OAuth fields and the SMTP tab's server, user
  // and sender as they stand in the window (saved or not). Raises EDriverError, in
  // Russian, when the chosen way is not the refresh token or the client is not named.
  oauth::TOAuthSettingsStruct SignInSettings(TMainSettingsView& SmtpView);
  // The sign-in succeeded: its refresh token goes into the field, saved with OK.
  void SignedIn(const std::string& RefreshToken);

 private:
  TBaseDevice& FDevice;
  // The rows of the flow chosen in the window, none unless the login is "OAuth 2.0".
  TOAuthRowsStruct ShownRows();
  std::string ChosenFlowText();

  TSecuritySettingsView* FView = nullptr;
  std::vector<std::string> FItems[scCount];  // each drop-down's texts, as shown
};

}  // namespace eqd
