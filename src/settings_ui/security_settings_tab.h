// The "Безопасность" tab of the SMTP page: how the connection is protected (a drop-down),
// how the driver logs in (a drop-down), whether the certificate is checked (a check box),
// the key pin (an edit), and a list of mail services whose documented settings fill the
// server, the port and both drop-downs at once.
//
// The drop-downs list the fixed values of their settings. A stored text that is none of
// them (a host wrote it) is listed too, after them, so that reading and saving without
// a change keeps it as it was; Enable then says what is wrong with it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "device/base_device.h"

namespace eqd {

class TMainSettingsView;

enum TSecurityChoice : std::size_t { scSecurity, scAuthMethod, scCount };

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

 private:
  TBaseDevice& FDevice;
  TSecuritySettingsView* FView = nullptr;
  std::vector<std::string> FItems[scCount];  // each drop-down's texts, as shown
};

}  // namespace eqd
