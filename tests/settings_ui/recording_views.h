// Views of the settings windows that record what the cores ask of the screen and answer
// what a test sets, so the cores run without a desktop.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "settings_ui/common_settings.h"
#include "settings_ui/main_settings_page.h"
#include "settings_ui/settings_list.h"

namespace eqd::test {

class TRecordingWindowView : public TCommonSettingsView, public TMainSettingsView {
 public:
  std::vector<std::string> Errors;
  std::vector<std::string> Opened;  // ShellOpen targets
  std::vector<THelpPopup> Popups;
  int WaitDepth = 0;                // wait pointer shown minus hidden
  std::map<TMainSettingsField, std::string> Fields;
  std::function<bool(TBaseDevice&)> OnSettingsList = [](TBaseDevice&) { return false; };
  std::string PickedLogFile;
  std::string Hint;
  TScreenPoint HintPosition;
  // Called on this thread while the connection check runs on its own, as a person
  // would act on the window meanwhile; pressing "Отмена" is Check.Cancel().
  std::function<void(TConnectionCheck&)> WhileChecking = [](TConnectionCheck&) {};

  void SetWaitCursor(bool Wait) override { WaitDepth += Wait ? 1 : -1; }
  void ShowError(const std::string& Text) override { Errors.push_back(Text); }
  bool ShowSettingsList(TBaseDevice& Device) override { return OnSettingsList(Device); }
  void ShellOpen(const std::string& Target, bool) override { Opened.push_back(Target); }
  std::string PickLogFile(const std::string&) override { return PickedLogFile; }
  void ShowHelpFile(const std::string& HelpFile) override { Opened.push_back(HelpFile); }
  std::string ControlHintAt(TScreenPoint& Position) override {
    Position = HintPosition;
    return Hint;
  }
  void ShowHelpPopup(const THelpPopup& Popup) override { Popups.push_back(Popup); }
  bool RunConnectionCheck(TConnectionCheck& Check, std::string& Message) override {
    bool ok = false;
    std::thread worker([&] { ok = Check.Run(Message); });
    WhileChecking(Check);
    worker.join();
    return ok;
  }

  std::string FieldText(TMainSettingsField Field) override { return Fields[Field]; }
  void SetFieldText(TMainSettingsField Field, const std::string& Text) override { Fields[Field] = Text; }
};

class TRecordingListView : public TSettingsListView {
 public:
  std::vector<std::string> Journal;
  std::string Text;      // what the text editor holds
  bool Checked = false;  // "True" selected in the drop-down
  std::string Status;

  void RefreshRow(std::int32_t Row) override { Journal.push_back("refresh " + std::to_string(Row)); }
  void RefreshAll() override { Journal.push_back("refresh all"); }
  void ShowEditor(TListEditor Editor, std::int32_t Row, const std::string& AText, bool AChecked) override {
    Journal.push_back(std::string(Editor == leBoolean ? "drop-down" : "edit") + " on " + std::to_string(Row));
    Text = AText;
    Checked = AChecked;
  }
  void HideEditor(TListEditor) override { Journal.push_back("hide"); }
  std::string EditorText() override { return Text; }
  bool EditorChecked() override { return Checked; }
  void SetStatus(const std::string& AText) override { Status = AText; }
};

}  // namespace eqd::test
