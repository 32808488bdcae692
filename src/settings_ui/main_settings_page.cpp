#include "settings_ui/main_settings_page.h"

#include "automation/errors.h"
#include "settings_ui/settings_ui_texts.h"

namespace eqd {

namespace texts = settings_ui_texts;

const std::array<TMainSettingsFieldInfo, mfCount>& MainSettingsFields() {
  static const std::array<TMainSettingsFieldInfo, mfCount> fields{{
      {"SmtpServerName", texts::kLabelServer, 0, nullptr, "в"},
      {"SmtpServerPort", texts::kLabelPort, 0, nullptr, "П"},
      {"SmtpServerUser", texts::kLabelUser, 0, nullptr, "з"},
      {"SmtpServerPassword", texts::kLabelPassword, 0, texts::kPasswordHint, "а"},
      {"UserEmail", texts::kLabelEmail, 0, nullptr, "E"},
      {"Subject", texts::kLabelSubject, 1, nullptr, "Т"},
      {"BodyText", texts::kLabelBody, 1, nullptr, "к"},
  }};
  return fields;
}

TfrmMainSettings::TfrmMainSettings(TBaseDevice& ADeviceManager)
    : TfrmBaseSettings(ADeviceManager, texts::kMainPageCaption), FSecurity(ADeviceManager) {}

void TfrmMainSettings::MailServiceChosen(std::size_t Index) {
  if (FView != nullptr) FSecurity.MailServiceChosen(Index, *FView);
}

oauth::TOAuthSettingsStruct TfrmMainSettings::SignInSettings() {
  if (FView == nullptr) throw EDriverError(texts::kSignInNeedsRefreshFlow);
  return FSecurity.SignInSettings(*FView);
}

void TfrmMainSettings::OnReadSettings() {
  TfrmBaseSettings::OnReadSettings();
  FSecurity.ReadSettings();
  if (FView == nullptr) return;
  for (std::size_t i = 0; i < mfCount; ++i)
    FView->SetFieldText(static_cast<TMainSettingsField>(i),
                        FDeviceManager.GetSettingValueStr(MainSettingsFields()[i].SettingID));
}

void TfrmMainSettings::OnSaveSettings() {
  TfrmBaseSettings::OnSaveSettings();
  FSecurity.SaveSettings();
  if (FView == nullptr) return;
  for (std::size_t i = 0; i < mfCount; ++i)
    FDeviceManager.SetSettingValue(MainSettingsFields()[i].SettingID,
                                   Variant(FView->FieldText(static_cast<TMainSettingsField>(i))));
}

}  // namespace eqd
