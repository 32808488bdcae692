#include "settings_ui/settings_page.h"

#include "automation/errors.h"
#include "automation/result_codes.h"
#include "settings_ui/common_settings.h"
#include "settings_ui/main_settings_page.h"
#include "settings_ui/settings_ui_texts.h"

namespace eqd {

TfrmBaseSettings::TfrmBaseSettings(TBaseDevice& ADeviceManager, std::string ACaption)
    : FDeviceManager(ADeviceManager), FCaption(std::move(ACaption)) {}

void TfrmBaseSettings::NotifyOwner(const std::string& Msg, const std::string& Data) {
  if (FOwnerFrm != nullptr) FOwnerFrm->NotifyPages(Msg, Data);
}

void TfrmBaseSettings::SetWaitCursor(bool Wait) {
  if (FOwnerFrm != nullptr) FOwnerFrm->View().SetWaitCursor(Wait);
}

std::int32_t TfrmBaseSettings::EnableDevice(std::string& ResultDescription) {
  ResultDescription.clear();
  SetWaitCursor(true);
  FDeviceManager.StoreSettings();
  bool allow = true;
  OnSaveSettings(allow);
  if (!allow) {
    ResultDescription = GetResultDescription(rcInvalidDeviceParameters);
    return rcInvalidDeviceParameters;
  }
  OnSaveSettings();
  return FDeviceManager.Enable(ResultDescription);
}

std::int32_t TfrmBaseSettings::EnableDevice(const std::vector<std::string>& Settings, std::string& ResultDescription) {
  ResultDescription.clear();
  SetWaitCursor(true);
  FDeviceManager.StoreSettings(Settings);
  OnSaveSettings();
  return FDeviceManager.Enable(ResultDescription);
}

std::int32_t TfrmBaseSettings::EnableDevice() {
  std::string description;
  return EnableDevice(description);
}

std::int32_t TfrmBaseSettings::EnableDevice(const std::vector<std::string>& Settings) {
  std::string description;
  return EnableDevice(Settings, description);
}

void TfrmBaseSettings::DisableDevice() {
  FDeviceManager.Disable();
  FDeviceManager.RestoreSettings();
  SetWaitCursor(false);
}

std::unique_ptr<TfrmBaseSettings> CreateSettingsPage(const std::string& PageClass, TBaseDevice& ADeviceManager) {
  std::unique_ptr<TfrmBaseSettings> page;
  if (PageClass == TfrmMainSettings::kClassName) page = std::make_unique<TfrmMainSettings>(ADeviceManager);
  if (!page) throw EDriverError(settings_ui_texts::kUnknownPageClass + PageClass);
  page->OnCreateFrm();
  return page;
}

}  // namespace eqd
