// The small Win32 toolkit the settings windows are built with: sizes from the 96-DPI
// layout scaled to the window's DPI, fonts, controls, a modal message loop, tooltips,
// the visual-styles activation context of the module's own manifest and HTML Help
// loaded on first use.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace eqd::settings_ui_win32 {

std::wstring Wide(std::string_view Utf8);
std::string Utf8(std::wstring_view Wide);
std::wstring WindowText(HWND Window);

// The DPI of the monitor the window is on (the system's where the system cannot tell
// per window) and the 96-DPI layout's sizes scaled to it.
class TScale {
 public:
  explicit TScale(HWND Window);
  int operator()(int Size96) const { return MulDiv(Size96, dpi_, 96); }
  int Dpi() const { return dpi_; }

 private:
  int dpi_ = 96;
};

// The dialog font at the window's DPI, plain and bold.
class TFonts {
 public:
  explicit TFonts(const TScale& Scale);
  ~TFonts();
  TFonts(const TFonts&) = delete;
  TFonts& operator=(const TFonts&) = delete;
  HFONT Normal() const { return normal_; }
  HFONT Bold() const { return bold_; }

 private:
  HFONT normal_ = nullptr;
  HFONT bold_ = nullptr;
};

// A child control at a position already scaled, with the font set.
HWND CreateChild(HWND Parent, const wchar_t* Class, std::string_view Text, DWORD Style, DWORD ExStyle, RECT Rect,
                 int ID, HFONT Font);

// Window classes of the settings windows: a top-level dialog frame and a plain panel
// (the pages, the tabs' contents). Both call the handler whose pointer CreateWindowExW
// is given as its creation parameter. Registered on first use, unregistered at unload.
class TMessageHandler {
 public:
  virtual ~TMessageHandler() = default;
  virtual LRESULT HandleMessage(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) = 0;
};
inline constexpr wchar_t kFrameClass[] = L"EqSettingsFrame";
inline constexpr wchar_t kPanelClass[] = L"EqSettingsPanel";
void RegisterWindowClasses(HINSTANCE Module);
void UnregisterWindowClasses();
HINSTANCE ModuleInstance();

// Runs the window's messages until Done or a WM_QUIT (posted again for the host's own
// loop). PreTranslate sees every message first and may take it.
void RunModalLoop(HWND Dialog, const bool& Done, const std::function<bool(MSG&)>& PreTranslate);

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

 private:
  HWND tip_ = nullptr;
  HWND owner_ = nullptr;
  std::map<HWND, std::wstring> hints_;
};

// Activates the module manifest's activation context (common controls version 6, so
// visual styles) for as long as the object lives, whatever the host's manifest says.
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
