// The settings window on Win32: the header with the logo, the model name and the
// driver version; the tab control with one tab per page and "Информация"; the footer
// "Дополнительно" / "ОК" / "Отмена"; the popup menu, the tooltips and the context help.
// Built in code from the 96-DPI layout scaled to the window's DPI, shown modally on
// the calling thread within the module's visual-styles activation context.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <vector>

#include "device/settings_window.h"
#include "settings_ui/common_settings.h"
#include "settings_ui/main_settings_page.h"
#include "settings_ui/win32/win32_ui.h"

namespace eqd::settings_ui_win32 {

class TSettingsWindowWin32 : public TSettingsWindow,
                             public TMessageHandler,
                             public TCommonSettingsView,
                             public TMainSettingsView {
 public:
  TSettingsWindowWin32(TBaseDevice& Device, const std::vector<TSettingsPageClass>& PageClasses,
                       TDeviceConnectionTest ConnectionTest);
  ~TSettingsWindowWin32() override;

  // TSettingsWindow
  void SetDeviceTestVisible(bool Visible) override;
  bool ShowModal() override;

  // Control identifiers (the Windows tests use them too); a menu item's command is
  // kMenuBase + its TMenuCommand.
  static constexpr int kIdPages = 401;
  static constexpr int kIdAdditional = 402;
  static constexpr int kIdOk = 403;
  static constexpr int kIdCancel = 404;
  static constexpr int kIdLogo = 405;
  static constexpr int kIdModelName = 406;
  static constexpr int kIdVersion = 407;
  static constexpr int kIdInnerTabs = 410;
  static constexpr int kIdFirstField = 420;  // + TMainSettingsField
  static constexpr int kIdFirstInfo = 440;   // + row, the value of each information row
  static constexpr int kMenuBase = 0x1000;

  LRESULT HandleMessage(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) override;

  // TCommonSettingsView
  void SetWaitCursor(bool Wait) override;
  void ShowError(const std::string& Text) override;
  bool ShowSettingsList(TBaseDevice& Device) override;
  void ShellOpen(const std::string& Target, bool Maximized) override;
  std::string PickLogFile(const std::string& Folder) override;
  void ShowHelpFile(const std::string& HelpFile) override;
  std::string ControlHintAt(TScreenPoint& Position) override;
  void ShowHelpPopup(const THelpPopup& Popup) override;

  // TMainSettingsView
  std::string FieldText(TMainSettingsField Field) override;
  void SetFieldText(TMainSettingsField Field, const std::string& Text) override;

 private:
  struct TTab {
    HWND Panel = nullptr;
  };
  void CreateFrame();
  HWND CreatePanel(HWND Parent, RECT Rect, int HelpContext);
  SIZE MainPageSize() const;
  void CreateMainPage(HWND Panel);
  void CreateInfoPage(HWND Panel);
  void ShowTab(HWND TabControl, const std::vector<HWND>& Panels);
  void OpenMenu();
  void HelpFor(HWND Control);
  void Finish(bool Ok);
  bool PreTranslate(MSG& Msg);
  LRESULT ControlColour(HWND Control, HDC Dc);

  std::unique_ptr<TfrmCommonSettings> FCore;
  std::unique_ptr<TScale> FScale;
  std::unique_ptr<TFonts> FFonts;
  std::unique_ptr<TTooltips> FTips;
  HWND FWindow = nullptr;
  HWND FPages = nullptr;
  HWND FInnerTabs = nullptr;
  HWND FLogo = nullptr;
  HWND FAdditional = nullptr;
  std::vector<HWND> FPagePanels;   // one per tab of FPages
  std::vector<HWND> FInnerPanels;  // one per tab of FInnerTabs
  std::array<HWND, mfCount> FFields{};
  std::vector<HWND> FHeaderControls;
  HBITMAP FLogoBitmap = nullptr;
  HBRUSH FWhite = nullptr;
  int FHeaderHeight = 0;
  int FWaiting = 0;
  bool FDone = false;
  bool FOkResult = false;
};

// Lets every device show this window from now on ("ShowSettingsDlg"); Module holds the
// window's resources. The connection test is the device test's connection step.
void RegisterSettingsWindow(HINSTANCE Module, TDeviceConnectionTest ConnectionTest);
// Before the module unloads: no factory, no window classes.
void UnregisterSettingsWindow();

}  // namespace eqd::settings_ui_win32
