// The "Безопасность" tab's view for tests: remembers what the core shows and answers
// what a test sets.
#pragma once

#include <string>
#include <vector>

#include "settings_ui/security_settings_tab.h"

namespace eqd::test {

class TRecordingSecurityView : public TSecuritySettingsView {
 public:
  std::vector<std::string> Items[scCount];
  std::size_t Selected[scCount] = {};
  bool Verify = false;
  std::string Pin;
  std::string Note;
  std::string OAuth[oaCount];
  TOAuthRowsStruct Rows;

  void SetChoices(TSecurityChoice Choice, const std::vector<std::string>& List, std::size_t Index) override {
    Items[Choice] = List;
    Selected[Choice] = Index;
  }
  std::size_t SelectedChoice(TSecurityChoice Choice) override { return Selected[Choice]; }
  bool VerifyChecked() override { return Verify; }
  void SetVerifyChecked(bool Checked) override { Verify = Checked; }
  std::string PinText() override { return Pin; }
  void SetPinText(const std::string& Text) override { Pin = Text; }
  void SetServiceNote(const std::string& Text) override { Note = Text; }
  std::string OAuthText(TOAuthField Field) override { return OAuth[Field]; }
  void SetOAuthText(TOAuthField Field, const std::string& Text) override { OAuth[Field] = Text; }
  void ShowOAuthRows(const TOAuthRowsStruct& Shown) override { Rows = Shown; }

  // Chooses the item with this text; false when the list has none.
  bool Choose(TSecurityChoice Choice, const std::string& Text) {
    for (std::size_t i = 0; i < Items[Choice].size(); ++i)
      if (Items[Choice][i] == Text) {
        Selected[Choice] = i;
        return true;
      }
    return false;
  }
  std::string Shown(TSecurityChoice Choice) const { return Items[Choice].at(Selected[Choice]); }
};

}  // namespace eqd::test
