// The settings list editor on Win32: a sizeable dialog from the module's template with a
// virtual list view (owner data: the rows are read from the device when drawn), the
// in-place text edit and the "False" / "True" drop-down, a status line and the buttons.
#pragma once

#include <windows.h>

#include <memory>

#include "settings_ui/settings_list.h"
#include "settings_ui/win32/resources.h"
#include "settings_ui/win32/win32_ui.h"

namespace eqd::settings_ui_win32 {

class TSettingsListWindow : public TDialogHandler, public TSettingsListView {
 public:
  explicit TSettingsListWindow(TBaseDevice& Device);
  ~TSettingsListWindow() override;

  // Shows the window modally over Owner (disabled meanwhile, and active again before
  // the window goes); true when closed with OK.
  bool ShowModal(HWND Owner);

  // Control identifiers (the Windows tests use them too).
  static constexpr int kIdList = EQ_IDC_LIST;
  static constexpr int kIdStatus = EQ_IDC_STATUS;
  static constexpr int kIdDefault = EQ_IDC_DEFAULT;
  static constexpr int kIdOk = EQ_IDC_LIST_OK;
  static constexpr int kIdCancel = EQ_IDC_LIST_CANCEL;
  static constexpr int kIdEdit = EQ_IDC_EDIT;
  static constexpr int kIdCombo = EQ_IDC_COMBO;
  static constexpr int kIdMenuEdit = 310;
  static constexpr int kIdMenuDefault = 311;

  bool DialogMessage(HWND Dialog, UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) override;

  // TSettingsListView
  void RefreshRow(std::int32_t Row) override;
  void RefreshAll() override;
  void ShowEditor(TListEditor Editor, std::int32_t Row, const std::string& Text, bool Checked) override;
  void HideEditor(TListEditor Editor) override;
  std::string EditorText() override;
  bool EditorChecked() override;
  void SetStatus(const std::string& Text) override;

 private:
  void SetUpControls();
  void Layout();
  void ChangeDpi(int Dpi, const RECT* Suggested);
  bool PreTranslate(MSG& Msg);
  void OnNotify(NMHDR& Header);
  void ShowContextMenu(int X, int Y);
  void Close(bool Ok);

  TfrmSettingsList FCore;
  HWND FWindow = nullptr;
  HWND FList = nullptr;
  HWND FEdit = nullptr;
  HWND FCombo = nullptr;
  std::unique_ptr<TDialogFonts> FFonts;
  std::unique_ptr<TTooltips> FTips;
  int FDpi = 96;
  bool FDone = false;
  bool FOkResult = false;
  std::wstring FCell;  // the text handed to the list view for the cell it draws
};

}  // namespace eqd::settings_ui_win32
