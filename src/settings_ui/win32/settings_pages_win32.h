// The pages of the settings window on Win32, each a child dialog made from a template
// and placed in a tab of the window: the SMTP page (its own tab control with one child
// dialog per tab) and the tab "Информация".
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "settings_ui/common_settings.h"
#include "settings_ui/main_settings_page.h"
#include "settings_ui/win32/win32_ui.h"

namespace eqd::settings_ui_win32 {

class TPageWin32 : public TDialogHandler {
 public:
  ~TPageWin32() override = default;
  HWND Window() const { return FWindow; }
  // The smallest size the page's content needs, in pixels at the page's DPI.
  virtual SIZE NeededSize() const = 0;
  // Lays the content out over the page's current size.
  virtual void Layout() {}
  // After a DPI change: the template-placed controls from one DPI to the other, the fonts.
  virtual void Rescale(int FromDpi, int ToDpi, const TDialogFonts& Fonts) = 0;
  // The page's own tab control, or nullptr; and showing one of its tabs.
  virtual HWND InnerTabs() const { return nullptr; }
  virtual void ShowInner(int Index) { (void)Index; }
  bool DialogMessage(HWND Dialog, UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) override;

 protected:
  HWND FWindow = nullptr;
  HWND FFrame = nullptr;
};

// The e-mail driver's page: inner tabs "Настройки SMTP", "Общие" and "Безопасность".
class TMainPageWin32 final : public TPageWin32, public TMainSettingsView, public TSecuritySettingsView {
 public:
  TMainPageWin32(HWND Frame, TTooltips& Tips);
  ~TMainPageWin32() override;

  SIZE NeededSize() const override;
  void Layout() override;
  void Rescale(int FromDpi, int ToDpi, const TDialogFonts& Fonts) override;
  HWND InnerTabs() const override { return FTabs; }
  void ShowInner(int Index) override;
  bool DialogMessage(HWND Dialog, UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) override;

  // TMainSettingsView
  std::string FieldText(TMainSettingsField Field) override;
  void SetFieldText(TMainSettingsField Field, const std::string& Text) override;
  HWND Field(TMainSettingsField Field) const { return FFields[Field]; }

  // TSecuritySettingsView
  void SetChoices(TSecurityChoice Choice, const std::vector<std::string>& Items, std::size_t Selected) override;
  std::size_t SelectedChoice(TSecurityChoice Choice) override;
  bool VerifyChecked() override;
  void SetVerifyChecked(bool Checked) override;
  std::string PinText() override;
  void SetPinText(const std::string& Text) override;
  void SetServiceNote(const std::string& Text) override;
  std::string OAuthText(TOAuthField Field) override;
  void SetOAuthText(TOAuthField Field, const std::string& Text) override;
  void ShowOAuthRows(const TOAuthRowsStruct& Rows) override;
  // Told the index of the mail service the user chose in the list.
  void SetMailServiceHandler(std::function<void(std::size_t)> Handler) { FMailServiceChosen = std::move(Handler); }
  // Told when the user chose another login or OAuth flow, and when "Войти…" was pressed.
  void SetSecurityChoiceHandler(std::function<void()> Handler) { FSecurityChoiceChanged = std::move(Handler); }
  void SetSignInHandler(std::function<void()> Handler) { FSignIn = std::move(Handler); }
  // A control of the tab "Безопасность" by its resource identifier (EQ_IDC_SEC_…).
  HWND SecurityControl(int Id) const;

 private:
  // One child dialog per inner tab.
  struct TInnerTab : TDialogHandler {
    HWND Window = nullptr;
    HWND Frame = nullptr;
    TMainPageWin32* Page = nullptr;
    bool DialogMessage(HWND Dialog, UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) override;
  };
  void MakeSecurityTab(TTooltips& Tips);
  HWND ChoiceBox(TSecurityChoice Choice) const;
  // Stacks the shown OAuth rows under the pin, in the font's dialog units.
  void LayoutOAuthRows();
  HWND FTabs = nullptr;
  std::vector<TInnerTab> FInner;
  std::array<HWND, mfCount> FFields{};
  HWND FSecurityTab = nullptr;
  std::function<void(std::size_t)> FMailServiceChosen;
  std::function<void()> FSecurityChoiceChanged;
  std::function<void()> FSignIn;
  TOAuthRowsStruct FOAuthRows;
};

// The tab "Информация": six rows of a bold caption and a word-wrapped value.
class TInfoPageWin32 final : public TPageWin32 {
 public:
  TInfoPageWin32(HWND Frame, std::vector<TInfoRow> Rows, HFONT Bold);
  ~TInfoPageWin32() override;
  SIZE NeededSize() const override;
  void Layout() override;
  void Rescale(int FromDpi, int ToDpi, const TDialogFonts& Fonts) override;

 private:
  std::vector<TInfoRow> FRows;
  HFONT FFont = nullptr;
  HFONT FBold = nullptr;
};

}  // namespace eqd::settings_ui_win32
