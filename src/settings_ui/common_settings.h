// TfrmCommonSettings: the settings window a device shows for "ShowSettingsDlg": one tab
// per settings page, then the tab "Информация"; a header with the logo, the model name
// and the driver version; the footer "Дополнительно" / "ОК" / "Отмена"; the
// "Дополнительно" menu (reset, device test, the full settings list, the debug logs,
// help, the device's additional actions) and the context-help popups.
//
// This is the window's toolkit-free core: it holds the rules (texts, menu states, the
// save step, the device test, the undo point) and reaches the screen through
// TCommonSettingsView. The window keeps a snapshot of every setting from the moment it
// opens: "Отмена" and the close box put all of it back, a reset to defaults and the
// settings list's edits included. The device's settings buffer serves the device test
// and the settings list only and is emptied when the window ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/base_device.h"
#include "settings_ui/settings_page.h"

namespace eqd {

struct TScreenPoint {
  std::int32_t X = 0;
  std::int32_t Y = 0;
};

// One text popup of the context help: a text of its own, or a topic of the help
// file's popup topics.
struct THelpPopup {
  TScreenPoint Position;
  std::string Text;
  std::string TopicFile;      // "<help file>::/popups.txt", or empty for the text
  std::uint32_t TopicID = 0;
};

// The slow step of the device test, the connection to the device. It is made on the
// window's thread from the device's settings and then runs on a worker thread, where it
// touches neither the device object nor the window; Cancel, from the window's thread,
// ends a Run under way at once.
class TConnectionCheck {
 public:
  virtual ~TConnectionCheck() = default;
  // False with the failure's text in Message (also after Cancel).
  virtual bool Run(std::string& Message) = 0;
  // On the window's thread after a Run that succeeded: hands what the check proved to
  // the device.
  virtual void Succeeded(TBaseDevice& Device) { (void)Device; }
  void Cancel() {
    FCancelled = true;
    Abort();
  }
  bool Cancelled() const { return FCancelled; }

 protected:
  // Ends the Run under way, or the next one before it starts.
  virtual void Abort() = 0;

 private:
  std::atomic<bool> FCancelled{false};
};

// What the window's toolkit layer does for the core.
class TCommonSettingsView {
 public:
  virtual ~TCommonSettingsView() = default;
  virtual void SetWaitCursor(bool Wait) = 0;
  // An error box owned by the window: the text, the caption "Ошибка", the error icon.
  virtual void ShowError(const std::string& Text) = 0;
  // Shows the settings list editor for the device modally; true when closed with OK.
  virtual bool ShowSettingsList(TBaseDevice& Device) = 0;
  // Opens a file (window restored) or a web address (maximised) with the shell.
  virtual void ShellOpen(const std::string& Target, bool Maximized) = 0;
  // A file-open dialog for log files starting in Folder; empty when nothing was picked.
  virtual std::string PickLogFile(const std::string& Folder) = 0;
  // Opens the help file at its default topic.
  virtual void ShowHelpFile(const std::string& HelpFile) = 0;
  // The tooltip of the focused control while F1 is down, else of the control under
  // the mouse pointer; Position becomes that control's top-left corner on the screen
  // (or the pointer's position when there is no such control).
  virtual std::string ControlHintAt(TScreenPoint& Position) = 0;
  virtual void ShowHelpPopup(const THelpPopup& Popup) = 0;
  // Runs Check.Run on a worker thread and returns its result once it has ended. The
  // window keeps answering meanwhile, shows that the device test runs ("Проверка…") and
  // offers "Отмена", which calls Check.Cancel(); it takes no other command.
  virtual bool RunConnectionCheck(TConnectionCheck& Check, std::string& Message) = 0;
};

// Makes the connection step of the device test for a device just enabled with the
// pages' values; nullptr when the device has nothing to connect to. Raises the error
// that keeps the check from being made.
using TDeviceConnectionTest = std::function<std::unique_ptr<TConnectionCheck>(TBaseDevice& Device)>;

// Menu commands; additional actions follow from mcFirstAction on, by index.
enum TMenuCommand : std::int32_t {
  mcNone = 0,
  mcReset = 1,
  mcDeviceTest,
  mcSettingsList,
  mcOpenDebugLog,  // the submenu
  mcOpenCurrentDebugLog,
  mcOpenDebugLogDirectory,
  mcHelp,
  mcSeparator,
  mcFirstAction = 100,
};

struct TMenuItemState {
  TMenuCommand Command = mcNone;  // mcSeparator for a separator line
  std::int32_t ActionIndex = -1;  // for an additional action
  std::string Caption;
  bool Visible = true;
  bool Enabled = true;
  std::vector<TMenuItemState> Items;  // a submenu's items
};

struct TInfoRow {
  std::string Caption;
  std::string Value;
};

class TfrmCommonSettings {
 public:
  // Makes one page of each class, in order, and puts them before "Информация".
  TfrmCommonSettings(TBaseDevice& ADeviceManager, const std::vector<TSettingsPageClass>& PageClasses,
                     TCommonSettingsView& AView);
  ~TfrmCommonSettings();
  TfrmCommonSettings(const TfrmCommonSettings&) = delete;
  TfrmCommonSettings& operator=(const TfrmCommonSettings&) = delete;

  // The connection step of the device test (none: the device's DeviceTest alone).
  void SetConnectionTest(TDeviceConnectionTest Test) { FConnectionTest = std::move(Test); }
  // The folder the help file "help.chm" is looked for in (the module's own by default).
  void SetHelpFolder(const std::string& Folder);

  // Puts a made page into a new tab before "Информация"; the window owns it.
  void AddPage(std::unique_ptr<TfrmBaseSettings> Page);

  // Once the toolkit layer has attached the pages' views: the pages read the settings,
  // the menu takes its initial states and the window takes its undo snapshot.
  void Open();

  // ---- content ----
  const std::vector<std::unique_ptr<TfrmBaseSettings>>& Pages() const { return FPages; }
  std::string ModelName() const;
  std::string VersionLine() const;
  const std::string& CI_www() const { return FCI_www; }
  std::vector<TInfoRow> InfoRows() const;
  TCommonSettingsView& View() const { return FView; }
  TBaseDevice& DeviceManager() const { return FDeviceManager; }

  // ---- the page protocol ----
  void ReadPages();
  // Per page in tab order: consent, then save; false at the first refusal (the pages
  // before it have saved).
  bool SavePages();
  void NotifyPages(const std::string& Msg, const std::string& Data);

  // ---- menu ----
  void SetCapDeviceTest(bool Value);
  void SetCapSetDefault(bool Value);
  void SetCapShowHelp(bool Value);
  void SetCapOpenDebugLog(bool Value);
  // The menu as it is to be shown now; call MenuOpening first when it opens.
  const std::vector<TMenuItemState>& MenuItems() const { return FMenu; }
  void MenuOpening();
  // Runs a menu command. Errors are shown in an error box, never passed on. While the
  // device test runs, no command runs.
  void MenuCommand(TMenuCommand Command, std::int32_t ActionIndex = -1);
  bool DeviceTestRunning() const { return FDeviceTestRunning; }
  const TMenuItemState* FindMenuItem(TMenuCommand Command) const;

  // ---- closing ----
  // OK: the save step; true lets the window close. Cancel (also the close box): every
  // setting back as it was when the window opened; true. While the device test runs the
  // window stays open (false).
  bool CloseQuery(bool Ok);

  // ---- the logo and the help ----
  void LogoClick();
  bool HelpEnabled() const { return FHelpEnabled; }
  const std::string& HelpFile() const { return FHelpFile; }
  bool HelpFileExists();
  static std::string GetHelpByID(std::int32_t ID);
  // A help request of the window or a page: HELP_SETPOPUP_POS (13) with the position
  // packed as two signed 16-bit halves, HELP_CONTEXTPOPUP (8) with the help context.
  void HelpRequest(std::uint32_t Command, std::uint32_t Data);
  static TScreenPoint LastPopupPosition();

  // The help contexts of the window's own controls.
  static constexpr std::int32_t kHelpAdditional = 1000;
  static constexpr std::int32_t kHelpOk = 1001;
  static constexpr std::int32_t kHelpCancel = 1002;
  static constexpr std::int32_t kHelpPages = 10000;

 private:
  void ResetClick();
  void DeviceTestClick();
  void SettingsListClick();
  void OpenCurrentDebugLogClick();
  void OpenDebugLogDirectoryClick();
  void AdditionalActionClick(std::int32_t Index);
  TMenuItemState* MenuItem(TMenuCommand Command);
  void SetCap(TMenuCommand Command, bool Value);
  // The folder the call trace of this device goes to.
  std::string DebugLogFolder() const;
  // Empties the device's settings buffer: it must not outlive the window.
  void DropSettingsBuffer();

  TBaseDevice& FDeviceManager;
  TCommonSettingsView& FView;
  std::vector<std::unique_ptr<TfrmBaseSettings>> FPages;
  std::vector<TShortSettingStruct> FSnapshot;
  std::vector<TMenuItemState> FMenu;
  TDeviceConnectionTest FConnectionTest;
  std::string FCI_www;
  bool FHelpEnabled = false;
  bool FDeviceTestRunning = false;
  std::string FHelpFolder;
  std::string FHelpFile;
};

}  // namespace eqd
