#include "settings_ui/common_settings.h"

#include <exception>

#include "automation/call_trace.h"
#include "automation/device_info.h"
#include "automation/file_system.h"
#include "automation/module_info.h"
#include "automation/result_codes.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "settings_ui/settings_ui_texts.h"

namespace eqd {

namespace texts = settings_ui_texts;

namespace {

// The last popup position of the context help, shared by every window of the process.
TScreenPoint gPopupPosition;

std::string FolderOf(const std::string& path) {
  const std::size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// Shows the wait pointer for a scope, and the normal one again however it ends.
class TWaitCursor {
 public:
  explicit TWaitCursor(TCommonSettingsView& view) : view_(view) { view_.SetWaitCursor(true); }
  ~TWaitCursor() { view_.SetWaitCursor(false); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;

 private:
  TCommonSettingsView& view_;
};

}  // namespace

TfrmCommonSettings::TfrmCommonSettings(TBaseDevice& ADeviceManager, const std::vector<TSettingsPageClass>& PageClasses,
                                       TCommonSettingsView& AView)
    : FDeviceManager(ADeviceManager), FView(AView), FHelpFolder(FolderOf(ModuleFileName())) {
  for (const TSettingsPageClass& pageClass : PageClasses) AddPage(CreateSettingsPage(pageClass, FDeviceManager));
  FCI_www = FDeviceManager.DeviceInfo().CI_www;
  FMenu = {
      {mcReset, -1, texts::kMenuReset, true, true, {}},
      {mcDeviceTest, -1, texts::kMenuDeviceTest, true, true, {}},
      {mcSettingsList, -1, texts::kMenuSettingsList, true, true, {}},
      {mcOpenDebugLog,
       -1,
       texts::kMenuDebugLogs,
       false,
       false,
       {{mcOpenCurrentDebugLog, -1, texts::kMenuCurrentDebugLog, true, true, {}},
        {mcOpenDebugLogDirectory, -1, texts::kMenuDebugLogFolder, true, true, {}}}},
      {mcSeparator, -1, "-", true, true, {}},
      {mcHelp, -1, texts::kMenuHelp, true, true, {}},
  };
  if (FDeviceManager.AddActionsCount() > 0) {
    FMenu.push_back({mcSeparator, -1, "-", true, true, {}});
    for (std::int32_t i = 0; i < FDeviceManager.AddActionsCount(); ++i)
      FMenu.push_back({static_cast<TMenuCommand>(mcFirstAction + i), i, FDeviceManager.GetAddAction(i)->Caption, true,
                       true, {}});
  }
}

TfrmCommonSettings::~TfrmCommonSettings() {
  // Pages first: they may still point at this window.
  FPages.clear();
  DropSettingsBuffer();
}

void TfrmCommonSettings::AddPage(std::unique_ptr<TfrmBaseSettings> Page) {
  Page->SetOwnerFrm(this);
  FPages.push_back(std::move(Page));
}

void TfrmCommonSettings::SetHelpFolder(const std::string& Folder) {
  FHelpFolder = Folder.empty() ? Folder : IncludeTrailingPathDelimiter(Folder);
}

void TfrmCommonSettings::Open() {
  ReadPages();
  if (FPages.empty()) SetCapSetDefault(false);
  FHelpEnabled = HelpFileExists();
  SetCapShowHelp(FHelpEnabled);
  FSnapshot.clear();
  for (std::int32_t i = 0; i < FDeviceManager.SettingsCount(); ++i) {
    const PSettingStruct s = FDeviceManager.GetSetting(i);
    FSnapshot.push_back({s->ID, s->Value});
  }
}

std::string TfrmCommonSettings::ModelName() const { return FDeviceManager.DeviceInfo().ModelName; }

std::string TfrmCommonSettings::VersionLine() const {
  return texts::kVersionPrefix + FDeviceManager.GetDeviceVersion();
}

std::vector<TInfoRow> TfrmCommonSettings::InfoRows() const {
  const TDeviceInfoStruct& info = FDeviceManager.DeviceInfo();
  return {
      {texts::kInfoType, DeviceTypeDisplayName(info.TypeName)},
      {texts::kInfoModel, info.ModelName},
      {texts::kInfoVersion, FDeviceManager.GetDeviceVersion()},
      {texts::kInfoDeveloper, info.DeveloperName},
      {texts::kInfoDescription, info.Description},
      {texts::kInfoContacts, ContactInfoText(info)},
  };
}

void TfrmCommonSettings::ReadPages() {
  for (const auto& page : FPages) page->OnReadSettings();
}

bool TfrmCommonSettings::SavePages() {
  bool consent = true;
  for (const auto& page : FPages) {
    page->OnSaveSettings(consent);
    if (!consent) return false;
    page->OnSaveSettings();
  }
  return true;
}

void TfrmCommonSettings::NotifyPages(const std::string& Msg, const std::string& Data) {
  for (const auto& page : FPages) page->OnNotify(Msg, Data);
}

TMenuItemState* TfrmCommonSettings::MenuItem(TMenuCommand Command) {
  return const_cast<TMenuItemState*>(FindMenuItem(Command));
}

const TMenuItemState* TfrmCommonSettings::FindMenuItem(TMenuCommand Command) const {
  for (const TMenuItemState& item : FMenu) {
    if (item.Command == Command) return &item;
    for (const TMenuItemState& sub : item.Items)
      if (sub.Command == Command) return &sub;
  }
  return nullptr;
}

void TfrmCommonSettings::SetCap(TMenuCommand Command, bool Value) {
  if (TMenuItemState* item = MenuItem(Command)) item->Visible = item->Enabled = Value;
}

void TfrmCommonSettings::SetCapDeviceTest(bool Value) { SetCap(mcDeviceTest, Value); }
void TfrmCommonSettings::SetCapSetDefault(bool Value) { SetCap(mcReset, Value); }
void TfrmCommonSettings::SetCapShowHelp(bool Value) { SetCap(mcHelp, Value); }
void TfrmCommonSettings::SetCapOpenDebugLog(bool Value) { SetCap(mcOpenDebugLog, Value); }

void TfrmCommonSettings::MenuOpening() {
  // The value as it stands in the list now, an unconfirmed edit of the settings list
  // included; a value that is no Boolean hides the submenu.
  bool debugLog = false;
  try {
    debugLog = FDeviceManager.GetSettingValueBool("DebugLogEnabled");
  } catch (const std::exception&) {
    debugLog = false;
  }
  SetCapOpenDebugLog(debugLog);
}

void TfrmCommonSettings::MenuCommand(TMenuCommand Command, std::int32_t ActionIndex) {
  const TMenuItemState* item = FindMenuItem(Command);
  if (item == nullptr || !item->Enabled || FDeviceTestRunning) return;
  try {
    switch (Command) {
      case mcReset: ResetClick(); break;
      case mcDeviceTest: DeviceTestClick(); break;
      case mcSettingsList: SettingsListClick(); break;
      case mcOpenCurrentDebugLog: OpenCurrentDebugLogClick(); break;
      case mcOpenDebugLogDirectory: OpenDebugLogDirectoryClick(); break;
      case mcHelp: FView.ShowHelpFile(FHelpFile); break;
      default:
        if (Command >= mcFirstAction) AdditionalActionClick(ActionIndex >= 0 ? ActionIndex : item->ActionIndex);
        break;
    }
  } catch (const std::exception& e) {
    FView.ShowError(e.what());
  }
}

void TfrmCommonSettings::ResetClick() {
  FDeviceManager.SetAllSettingsDefault();
  ReadPages();
}

void TfrmCommonSettings::DeviceTestClick() {
  FDeviceTestRunning = true;
  struct TRunning {
    bool& flag;
    ~TRunning() { flag = false; }
  } running{FDeviceTestRunning};
  FDeviceManager.StoreSettings();
  std::string message;
  bool ok = false;
  bool cancelled = false;
  {
    TWaitCursor wait(FView);
    // The pages' values reach the device for the test only: whatever happens, the
    // device ends disabled and the settings as they were before.
    struct TRestore {
      TBaseDevice& device;
      ~TRestore() {
        try {
          device.Disable();
        } catch (...) {
          // The settings must come back even when switching off failed.
        }
        device.RestoreSettings();
      }
    } restore{FDeviceManager};
    ok = SavePages();
    if (ok) {
      std::string description;
      const std::int32_t code = FDeviceManager.Enable(description);
      message = GetResultDescription(code, description);
      ok = code == rcOk;
    } else {
      message = texts::kCannotSavePages;
    }
    if (ok && FConnectionTest) {
      // Made here, on the window's thread, from the device's settings; run elsewhere.
      if (const std::unique_ptr<TConnectionCheck> check = FConnectionTest(FDeviceManager)) {
        ok = FView.RunConnectionCheck(*check, message);
        cancelled = check->Cancelled();
        if (ok) check->Succeeded(FDeviceManager);
      }
    }
    if (ok) ok = FDeviceManager.DeviceTest(message);
  }
  // The user who stopped the test knows how it ended.
  if (!ok && !cancelled) FView.ShowError(message);
}

void TfrmCommonSettings::SettingsListClick() {
  // What was typed on the pages goes into the list first, so that the list shows it and
  // the pages, read again after the list's OK, do not lose it. A refusing page keeps
  // its values to itself.
  (void)SavePages();
  FDeviceManager.StoreSettings();
  bool accepted = false;
  try {
    accepted = FView.ShowSettingsList(FDeviceManager);
  } catch (...) {
    FDeviceManager.RestoreSettings();
    throw;
  }
  if (accepted)
    ReadPages();
  else
    FDeviceManager.RestoreSettings();
}

std::string TfrmCommonSettings::DebugLogFolder() const {
  // Where the device's trace goes: its own folder when that exists, else the common one.
  const std::string& folder = FDeviceManager.DeviceFolder();
  if (!folder.empty() && DirectoryExists(folder)) return IncludeTrailingPathDelimiter(folder);
  return DefaultDebugLogDir();
}

void TfrmCommonSettings::OpenCurrentDebugLogClick() {
  const std::string file = DebugLogFileName(DebugLogFolder(), platform::Now());
  if (!platform::FileExists(file)) {
    FView.ShowError(texts::kDebugLogNotFound);
    return;
  }
  FView.ShellOpen(file, false);
}

void TfrmCommonSettings::OpenDebugLogDirectoryClick() {
  const std::string file = FView.PickLogFile(DebugLogFolder());
  if (!file.empty()) FView.ShellOpen(file, false);
}

void TfrmCommonSettings::AdditionalActionClick(std::int32_t Index) {
  const TAdditionalAction* action = FDeviceManager.GetAddAction(Index);
  if (action == nullptr) return;
  std::string description;
  if (FDeviceManager.RunAdditionalAction(action->ID, description) != rcOk) FView.ShowError(description);
}

bool TfrmCommonSettings::CloseQuery(bool Ok) {
  if (FDeviceTestRunning) return false;
  if (Ok) {
    if (!SavePages()) return false;
  } else {
    for (const TShortSettingStruct& entry : FSnapshot) FDeviceManager.SetSettingValue(entry.ID, entry.Value);
  }
  DropSettingsBuffer();
  return true;
}

void TfrmCommonSettings::DropSettingsBuffer() {
  // A snapshot of no settings replaces whatever the buffer held.
  FDeviceManager.StoreSettings(std::vector<std::string>{});
}

void TfrmCommonSettings::LogoClick() {
  if (FCI_www.empty()) return;
  TWaitCursor wait(FView);
  FView.ShellOpen(FCI_www, true);
}

bool TfrmCommonSettings::HelpFileExists() {
  FHelpFile = FHelpFolder + "help.chm";
  return platform::FileExists(FHelpFile);
}

std::string TfrmCommonSettings::GetHelpByID(std::int32_t ID) {
  switch (ID) {
    case 1000: return texts::kHelpAdditional;
    case 1001: return texts::kHelpOk;
    case 1002: return texts::kHelpCancel;
    case 1003: return texts::kHelpPages;
    default: return {};
  }
}

TScreenPoint TfrmCommonSettings::LastPopupPosition() { return gPopupPosition; }

void TfrmCommonSettings::HelpRequest(std::uint32_t Command, std::uint32_t Data) {
  constexpr std::uint32_t kHelpContextPopup = 8;
  constexpr std::uint32_t kHelpSetPopupPos = 13;
  if (Command == kHelpSetPopupPos) {
    gPopupPosition = {static_cast<std::int16_t>(Data & 0xFFFFu), static_cast<std::int16_t>(Data >> 16)};
    return;
  }
  if (Command != kHelpContextPopup) return;
  const auto id = static_cast<std::int32_t>(Data);
  THelpPopup popup;
  popup.Position = gPopupPosition;
  if (id == kHelpPages) {
    popup.Text = FView.ControlHintAt(popup.Position);
  } else if (id >= 1000) {
    popup.Text = GetHelpByID(id);
  } else if (FHelpEnabled && id > 0) {
    popup.TopicFile = FHelpFile + "::/popups.txt";
    popup.TopicID = static_cast<std::uint32_t>(id);
  }
  FView.ShowHelpPopup(popup);
}

}  // namespace eqd
