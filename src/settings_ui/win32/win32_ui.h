// The small Win32 toolkit the settings windows are built with: dialogs made from the
// module's templates with a handler object behind them, the dialog font and dialog units
// at a DPI, re-layout when the DPI changes, a modal message loop that blocks the host's
// windows, tooltips, the visual-styles activation context of the module's own manifest,
// and HTML Help loaded on first use.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/unique_handle.h"

namespace eqd::settings_ui_win32 {

std::wstring Wide(std::string_view Utf8);
std::string Utf8(std::wstring_view Wide);
std::wstring WindowText(HWND Window);
void SetText(HWND Window, std::string_view Utf8);
// The text with "&" before the first Key (a UTF-8 letter): Alt+Key reaches the control
// (a label: the control after it). The text itself is left as it stands.
std::wstring WithAccessKey(std::string_view Text, std::string_view Key);

inline void DeleteGdiObject(HGDIOBJ Object) { DeleteObject(Object); }
using TUniqueFont = platform::TUniqueHandle<HFONT, &DeleteGdiObject>;
using TUniqueBitmap = platform::TUniqueHandle<HBITMAP, &DeleteGdiObject>;
using TUniqueBrush = platform::TUniqueHandle<HBRUSH, &DeleteGdiObject>;
inline void DestroyMenuHandle(HMENU Menu) { DestroyMenu(Menu); }
using TUniqueMenu = platform::TUniqueHandle<HMENU, &DestroyMenuHandle>;

// Sizes of the 96-DPI design at a DPI.
inline int Scale(int Size96, int Dpi) { return MulDiv(Size96, Dpi, 96); }
// The DPI a dialog was laid out at: its font's height says it.
int LayoutDpi(HWND Dialog);
// The DPI of the monitor the window is on where the system tells per window (Windows 10
// and later), else Fallback.
int WindowDpi(HWND Window, int Fallback);

// The dialog font of the templates at a DPI, plain and bold.
class TDialogFonts {
 public:
  TDialogFonts(HWND Dialog, int Dpi);
  HFONT Normal() const { return normal_.Get(); }
  HFONT Bold() const { return bold_.Get(); }

 private:
  TUniqueFont normal_;
  TUniqueFont bold_;
};

// Dialog units of a font, as the dialog manager reckons them for templates.
class TDialogUnits {
 public:
  TDialogUnits(HWND Window, HFONT Font);
  int X(int Units) const { return MulDiv(Units, cx_, 4); }
  int Y(int Units) const { return MulDiv(Units, cy_, 8); }

 private:
  int cx_ = 6;
  int cy_ = 13;
};

// Height of a word-wrapped text in a width, in the font.
int TextHeight(HWND Window, HFONT Font, const std::wstring& Text, int Width);
// Width of a one-line text in the font.
int TextWidth(HWND Window, HFONT Font, const std::wstring& Text);

// Sets the font of every window inside Root.
void SetFontDeep(HWND Root, HFONT Font);
// Moves and sizes the children of Parent (not their children) from one DPI to another.
void ScaleChildren(HWND Parent, int FromDpi, int ToDpi);
// The module draws its dialogs itself when the DPI changes: the system's own scaling of
// dialogs (per-monitor v2 hosts) would do it a second time.
void TakeOverDpiChanges(HWND Dialog);
// Paints a page that lies in a tab with the tab's themed background.
void UseTabBackground(HWND Page);

// The object behind a dialog made by CreateDialogFor.
class TDialogHandler {
 public:
  virtual ~TDialogHandler() = default;
  // True when the message was handled; Result is then the message's result.
  virtual bool DialogMessage(HWND Dialog, UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) = 0;
};
// A modeless dialog of the module's template; Parent is its owner (a top-level dialog)
// or its parent (a DS_CONTROL page). Messages from WM_INITDIALOG on go to Handler.
HWND CreateDialogFor(TDialogHandler& Handler, int Template, HWND Parent);
void SetModule(HINSTANCE Module);
HINSTANCE ModuleInstance();

// Runs the dialog's messages until Done or a WM_QUIT (posted again for the host's own
// loop). PreTranslate sees every message first and may take it.
void RunModalLoop(HWND Dialog, const bool& Done, const std::function<bool(MSG&)>& PreTranslate);

// Shows a small dialog (a progress) over the middle of its owner, which takes no input
// until the dialog's object gives it back; the focus goes to Focus.
void ShowOverOwner(HWND Dialog, HWND Owner, HWND Focus);

// The host's window a modal window of the module is owned by: the foreground window
// (its top-level owner) when it belongs to this thread, else none.
HWND HostOwnerWindow();

// For as long as it lives: every visible, enabled top-level window of this thread takes
// no input; afterwards exactly those are enabled again.
class THostBlock {
 public:
  THostBlock();
  ~THostBlock();
  THostBlock(const THostBlock&) = delete;
  THostBlock& operator=(const THostBlock&) = delete;
  // Gives the windows their input back now (before the modal window goes, so that the
  // system activates the owner rather than another program).
  void Release();

 private:
  std::vector<HWND> disabled_;
};

// Tooltips for a window's controls, and the text of each, for the context help too.
class TTooltips {
 public:
  explicit TTooltips(HWND Owner);
  ~TTooltips();
  TTooltips(const TTooltips&) = delete;
  TTooltips& operator=(const TTooltips&) = delete;
  void Add(HWND Control, std::string_view Text);
  // The tooltip text of the control, empty when it has none.
  std::string HintOf(HWND Control) const;
  // The tip's width limit and font follow the DPI.
  void SetDpi(int Dpi, HFONT Font);

 private:
  HWND tip_ = nullptr;
  HWND owner_ = nullptr;
  std::map<HWND, std::wstring> hints_;
};

// Activates the module manifest's activation context (common controls version 6, so
// visual styles) for as long as the object lives, whatever the host's manifest says, and
// registers the common controls the windows use.
class TVisualStyles {
 public:
  TVisualStyles();
  ~TVisualStyles();
  TVisualStyles(const TVisualStyles&) = delete;
  TVisualStyles& operator=(const TVisualStyles&) = delete;

 private:
  HANDLE context_ = INVALID_HANDLE_VALUE;
  ULONG_PTR cookie_ = 0;
  bool active_ = false;
};

// HTML Help from hhctrl.ocx, loaded the first time; false when it or the call is missing.
bool HtmlHelpCall(HWND Caller, const std::wstring& File, UINT Command, DWORD_PTR Data);

}  // namespace eqd::settings_ui_win32
