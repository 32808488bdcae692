// TfrmBaseSettings: a settings page, one tab of the settings window that edits one group
// of a device's settings. The window asks its pages to read the device's settings into
// their controls, to consent to a save and to save; a page may refuse. The page holds
// no copy of the settings: what it shows comes from the device's list when the window
// asks, and what the user typed reaches the list only when the window asks it to save.
//
// Toolkit-free: a page's controls are reached through a view of its own kind, which
// the window's toolkit layer attaches.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/base_device.h"

namespace eqd {

class TfrmCommonSettings;

class TfrmBaseSettings {
 public:
  TfrmBaseSettings(TBaseDevice& ADeviceManager, std::string ACaption);
  virtual ~TfrmBaseSettings() = default;
  TfrmBaseSettings(const TfrmBaseSettings&) = delete;
  TfrmBaseSettings& operator=(const TfrmBaseSettings&) = delete;

  // ---- the protocol with the window, in its historical slot order ----
  // The page's consent to save; the base page always consents.
  virtual void OnSaveSettings(bool& AllowColse) { AllowColse = true; }
  // Writes the controls into the device's settings.
  virtual void OnSaveSettings() {}
  // Fills the controls from the device's settings.
  virtual void OnReadSettings() {}
  // Runs once after the page is made (CreateSettingsPage).
  virtual void OnCreateFrm() {}
  // A notice sent by a page of the same window (NotifyOwner).
  virtual void OnNotify(const std::string& Msg, const std::string& Data) {
    (void)Msg;
    (void)Data;
  }

  // Hands a notice to every page of the window, this one included; a page that no
  // window holds reaches nobody.
  void NotifyOwner(const std::string& Msg, const std::string& Data);

  // Tries the page's values on the device: snapshot of every setting (or of the listed
  // ones, without asking the page's consent), the page's values into the list, Enable.
  // A refusal gives 1020. Call DisableDevice afterwards in every case: it switches the
  // device off and puts the snapshot back.
  std::int32_t EnableDevice(const std::vector<std::string>& Settings, std::string& ResultDescription);
  std::int32_t EnableDevice(std::string& ResultDescription);
  std::int32_t EnableDevice();
  std::int32_t EnableDevice(const std::vector<std::string>& Settings);
  void DisableDevice();

  const std::string& Caption() const { return FCaption; }
  TBaseDevice& DeviceManager() const { return FDeviceManager; }
  TfrmCommonSettings* OwnerFrm() const { return FOwnerFrm; }
  void SetOwnerFrm(TfrmCommonSettings* Owner) { FOwnerFrm = Owner; }

 protected:
  TBaseDevice& FDeviceManager;
  TfrmCommonSettings* FOwnerFrm = nullptr;

 private:
  void SetWaitCursor(bool Wait);
  std::string FCaption;
};

// Makes a page of a class the window offers ("TfrmMainSettings") for the device and
// runs its OnCreateFrm; EDriverError for a class name that is not known.
std::unique_ptr<TfrmBaseSettings> CreateSettingsPage(const std::string& PageClass, TBaseDevice& ADeviceManager);

}  // namespace eqd
