// The settings window on Win32: a dialog from the module's template with the header
// (logo, model name, driver version), the tab control whose tabs hold the pages (child
// dialogs) and "Информация", and the footer "Дополнительно" / "ОК" / "Отмена"; the
// popup menu, the tooltips and the context help. Shown modally on the host's thread
// within the module's visual-styles activation context: owned by the host's foreground
// window, with every window of the host's thread blocked meanwhile.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "device/settings_window.h"
#include "settings_ui/common_settings.h"
#include "settings_ui/win32/resources.h"
#include "settings_ui/win32/settings_pages_win32.h"
#include "settings_ui/win32/win32_ui.h"

namespace eqd::settings_ui_win32 {

class TSettingsWindowWin32 : public TSettingsWindow, public TDialogHandler, public TCommonSettingsView {
 public:
  TSettingsWindowWin32(TBaseDevice& Device, const std::vector<TSettingsPageClass>& PageClasses,
                       TDeviceConnectionTest ConnectionTest);
  ~TSettingsWindowWin32() override;

  // TSettingsWindow
  void SetDeviceTestVisible(bool Visible) override;
  bool ShowModal() override;

  // Control identifiers (the Windows tests use them too); a menu item's command is
  // kMenuBase + its TMenuCommand.
  static constexpr int kIdPages = EQ_IDC_PAGES;
  static constexpr int kIdAdditional = EQ_IDC_ADDITIONAL;
  static constexpr int kIdOk = EQ_IDC_OK;
  static constexpr int kIdCancel = EQ_IDC_CANCEL;
  static constexpr int kIdLogo = EQ_IDC_LOGO;
  static constexpr int kIdModelName = EQ_IDC_MODEL_NAME;
  static constexpr int kIdVersion = EQ_IDC_VERSION;
  static constexpr int kIdInnerTabs = EQ_IDC_INNER_TABS;
  static constexpr int kIdFirstField = EQ_IDC_FIRST_FIELD;  // + TMainSettingsField
  static constexpr int kIdFirstInfo = EQ_IDC_FIRST_INFO;    // + row, the value of each information row
  static constexpr int kMenuBase = 0x1000;

  bool DialogMessage(HWND Dialog, UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) override;

  // TCommonSettingsView
  void SetWaitCursor(bool Wait) override;
  void ShowError(const std::string& Text) override;
  bool ShowSettingsList(TBaseDevice& Device) override;
  void ShellOpen(const std::string& Target, bool Maximized) override;
  std::string PickLogFile(const std::string& Folder) override;
  void ShowHelpFile(const std::string& HelpFile) override;
  std::string ControlHintAt(TScreenPoint& Position) override;
  void ShowHelpPopup(const THelpPopup& Popup) override;
  bool RunConnectionCheck(TConnectionCheck& Check, std::string& Message) override;

 private:
  void CreateFrame(HWND Owner);
  void Layout();
  void ChangeDpi(int Dpi, const RECT* Suggested);
  void ShowTab(int Index);
  // Ctrl+Tab: the next (or previous) tab of every tab strip as one row: the SMTP page's
  // tabs, then "Информация".
  void StepTab(bool Back);
  void OpenMenu();
  void HelpFor(HWND Control);
  void Finish(bool Ok);
  bool PreTranslate(MSG& Msg);
  void DrawLogo(const DRAWITEMSTRUCT& Item);
  // "Войти…": the device sign-in on a worker thread with its dialog; the refresh token
  // into the page's field, or the failure in an error box.
  void SignIn(TfrmMainSettings& Page);

  std::unique_ptr<TfrmCommonSettings> FCore;
  std::unique_ptr<TDialogFonts> FFonts;
  std::unique_ptr<TTooltips> FTips;
  std::vector<std::unique_ptr<TPageWin32>> FPageWindows;  // one per tab of FPages, "Информация" last
  TMainPageWin32* FMainPage = nullptr;
  HWND FWindow = nullptr;
  HWND FPages = nullptr;
  TUniqueBitmap FLogoBitmap;
  TUniqueBrush FWhite;
  int FDpi = 96;
  int FWaiting = 0;
  bool FDone = false;
  bool FOkResult = false;
};

// Lets every device show this window from now on ("ShowSettingsDlg"); Module holds the
// window's resources. The connection test is the device test's connection step.
void RegisterSettingsWindow(HINSTANCE Module, TDeviceConnectionTest ConnectionTest);
// Before the module unloads: no factory.
void UnregisterSettingsWindow();

}  // namespace eqd::settings_ui_win32
