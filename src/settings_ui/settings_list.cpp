#include "settings_ui/settings_list.h"

#include "automation/variant_convert.h"

namespace eqd {

TfrmSettingsList::TfrmSettingsList(TBaseDevice& ADeviceManager, TSettingsListView& AView)
    : FDeviceManager(ADeviceManager), FView(AView), FRowCount(ADeviceManager.SettingsCount()) {}

std::array<std::string, 3> TfrmSettingsList::RowTexts(std::int32_t Row) const {
  if (Row < 0 || Row >= FRowCount) return {};
  const PSettingStruct s = FDeviceManager.GetSetting(Row);
  if (s == nullptr) return {};
  return {s->Name, VarToStr(s->Value), VarToStr(s->Default)};
}

PSettingStruct TfrmSettingsList::SelectedSetting() const {
  if (FSelected < 0 || FSelected >= FRowCount) return nullptr;
  return FDeviceManager.GetSetting(FSelected);
}

void TfrmSettingsList::SelectionChanged(std::int32_t Row) {
  EndEdit(false);
  if (Row < 0) return;
  FSelected = Row;
  const PSettingStruct s = SelectedSetting();
  FView.SetStatus(s != nullptr ? s->Description : std::string());
}

void TfrmSettingsList::SelectionCleared(std::int32_t Row) {
  EndEdit(false);
  if (Row < 0 || Row == FSelected) FSelected = -1;
}

void TfrmSettingsList::BeginEdit() {
  const PSettingStruct s = SelectedSetting();
  if (FEditing || s == nullptr) return;
  if (s->ValueType == dtBoolean) {
    FEditControl = leBoolean;
    bool checked = false;
    try {
      checked = VarToBool(s->Value);
    } catch (const std::exception&) {
      checked = false;  // a value that is no Boolean shows as "False"
    }
    FView.ShowEditor(leBoolean, FSelected, std::string(), checked);
  } else {
    FEditControl = leText;
    FView.ShowEditor(leText, FSelected, VarToStr(s->Value), false);
  }
  FEditRow = FSelected;
  FEditing = true;
}

void TfrmSettingsList::EndEdit(bool Discard) {
  if (!FEditing) return;
  // Closed before storing: storing may move the focus, which asks to close again.
  FEditing = false;
  const PSettingStruct s = FDeviceManager.GetSetting(FEditRow);
  if (s != nullptr && !Discard) {
    if (FEditControl == leBoolean)
      s->Value = Variant(FView.EditorChecked());
    else
      s->Value = TextToValue(s->ValueType, FView.EditorText());
    FView.RefreshRow(FEditRow);
  }
  FView.HideEditor(FEditControl);
}

void TfrmSettingsList::RowDefault() {
  if (PSettingStruct s = SelectedSetting()) {
    s->Value = s->Default;
    FView.RefreshRow(FSelected);
  }
}

void TfrmSettingsList::AllDefault() {
  FDeviceManager.SetAllSettingsDefault();
  FView.RefreshAll();
}

}  // namespace eqd
