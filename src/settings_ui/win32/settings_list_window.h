// The settings list editor on Win32: a sizeable window with a virtual list view
// (owner data: the rows are read from the device when drawn), the in-place text edit
// and the "False" / "True" drop-down, a status line and the buttons.
#pragma once

#include <windows.h>

#include <memory>

#include "settings_ui/settings_list.h"
#include "settings_ui/win32/win32_ui.h"

namespace eqd::settings_ui_win32 {

class TSettingsListWindow : public TMessageHandler, public TSettingsListView {
 public:
  explicit TSettingsListWindow(TBaseDevice& Device);
  ~TSettingsListWindow() override;

  // Shows the window modally over Owner (disabled meanwhile); true when closed with OK.
  bool ShowModal(HWND Owner);

  // Control identifiers (the Windows tests use them too).
  static constexpr int kIdList = 301;
  static constexpr int kIdStatus = 302;
  static constexpr int kIdDefault = 303;
  static constexpr int kIdOk = 304;
  static constexpr int kIdCancel = 305;
  static constexpr int kIdEdit = 306;
  static constexpr int kIdCombo = 307;
  static constexpr int kIdMenuEdit = 310;
  static constexpr int kIdMenuDefault = 311;

  LRESULT HandleMessage(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) override;

  // TSettingsListView
  void RefreshRow(std::int32_t Row) override;
  void RefreshAll() override;
  void ShowEditor(TListEditor Editor, std::int32_t Row, const std::string& Text, bool Checked) override;
  void HideEditor(TListEditor Editor) override;
  std::string EditorText() override;
  bool EditorChecked() override;
  void SetStatus(const std::string& Text) override;

 private:
  void CreateControls();
  void Layout();
  bool PreTranslate(MSG& Msg);
  void OnNotify(NMHDR& Header, LRESULT& Result);
  void ShowContextMenu(int X, int Y);
  void Close(bool Ok);

  TfrmSettingsList FCore;
  HWND FWindow = nullptr;
  HWND FList = nullptr;
  HWND FStatus = nullptr;
  HWND FDefault = nullptr;
  HWND FOk = nullptr;
  HWND FCancel = nullptr;
  HWND FEdit = nullptr;
  HWND FCombo = nullptr;
  std::unique_ptr<TScale> FScale;
  std::unique_ptr<TFonts> FFonts;
  std::unique_ptr<TTooltips> FTips;
  bool FDone = false;
  bool FOkResult = false;
  std::wstring FCell;  // the text handed to the list view for the cell it draws
};

}  // namespace eqd::settings_ui_win32
