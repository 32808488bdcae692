#include "settings_ui/win32/win32_ui.h"

#include <commctrl.h>

#include "platform/win32/wide.h"

namespace eqd::settings_ui_win32 {

namespace {
// The point size of the templates' font (settings_ui.rc).
constexpr int kTemplatePointSize = 9;

HINSTANCE gModule = nullptr;

template <typename T>
T SystemCall(const wchar_t* library, const char* name) {
  HMODULE module = GetModuleHandleW(library);
  if (module == nullptr) module = LoadLibraryW(library);
  return module == nullptr ? nullptr : reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
}  // namespace

std::wstring Wide(std::string_view Text) { return platform::win32::Utf8ToWide(Text); }
std::string Utf8(std::wstring_view Text) { return platform::win32::WideToUtf8(Text); }

std::wstring WindowText(HWND Window) {
  const int length = GetWindowTextLengthW(Window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(Window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

void SetText(HWND Window, std::string_view Text) { SetWindowTextW(Window, Wide(Text).c_str()); }

std::wstring WithAccessKey(std::string_view Text, std::string_view Key) {
  std::wstring text = Wide(Text);
  const std::wstring key = Wide(Key);
  const std::size_t at = key.empty() ? std::wstring::npos : text.find(key);
  if (at != std::wstring::npos) text.insert(at, 1, L'&');
  return text;
}

int LayoutDpi(HWND Dialog) {
  LOGFONTW font{};
  const auto handle = reinterpret_cast<HFONT>(SendMessageW(Dialog, WM_GETFONT, 0, 0));
  if (handle == nullptr || GetObjectW(handle, sizeof(font), &font) == 0 || font.lfHeight == 0) return 96;
  const int height = font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
  return MulDiv(height, 72, kTemplatePointSize);
}

int WindowDpi(HWND Window, int Fallback) {
  using TGetDpiForWindow = UINT(WINAPI*)(HWND);
  static const auto getDpi = SystemCall<TGetDpiForWindow>(L"user32.dll", "GetDpiForWindow");
  const int dpi = getDpi != nullptr && Window != nullptr ? static_cast<int>(getDpi(Window)) : 0;
  return dpi > 0 ? dpi : Fallback;
}

TDialogFonts::TDialogFonts(HWND Dialog, int Dpi) {
  LOGFONTW font{};
  const auto handle = reinterpret_cast<HFONT>(SendMessageW(Dialog, WM_GETFONT, 0, 0));
  if (handle == nullptr || GetObjectW(handle, sizeof(font), &font) == 0) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) font = metrics.lfMessageFont;
  }
  font.lfHeight = -MulDiv(kTemplatePointSize, Dpi, 72);
  font.lfWidth = 0;
  normal_.Reset(CreateFontIndirectW(&font));
  font.lfWeight = FW_BOLD;
  bold_.Reset(CreateFontIndirectW(&font));
}

TDialogUnits::TDialogUnits(HWND Window, HFONT Font) {
  HDC dc = GetDC(Window);
  HGDIOBJ old = SelectObject(dc, Font);
  TEXTMETRICW metrics{};
  SIZE size{};
  static constexpr wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  if (GetTextMetricsW(dc, &metrics) && GetTextExtentPoint32W(dc, kAlphabet, 52, &size)) {
    cx_ = (size.cx / 26 + 1) / 2;
    cy_ = metrics.tmHeight;
  }
  SelectObject(dc, old);
  ReleaseDC(Window, dc);
}

int TextHeight(HWND Window, HFONT Font, const std::wstring& Text, int Width) {
  HDC dc = GetDC(Window);
  HGDIOBJ old = SelectObject(dc, Font);
  RECT r{0, 0, Width, 0};
  DrawTextW(dc, Text.empty() ? L" " : Text.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(Window, dc);
  return r.bottom - r.top;
}

int TextWidth(HWND Window, HFONT Font, const std::wstring& Text) {
  HDC dc = GetDC(Window);
  HGDIOBJ old = SelectObject(dc, Font);
  RECT r{0, 0, 0, 0};
  DrawTextW(dc, Text.empty() ? L" " : Text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE);
  SelectObject(dc, old);
  ReleaseDC(Window, dc);
  return r.right - r.left;
}

namespace {
BOOL CALLBACK SetFontOf(HWND window, LPARAM font) {
  SendMessageW(window, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
  return TRUE;
}

struct TScaling {
  HWND parent;
  int from;
  int to;
};
BOOL CALLBACK ScaleChild(HWND window, LPARAM data) {
  const auto& s = *reinterpret_cast<const TScaling*>(data);
  if (GetParent(window) != s.parent) return TRUE;
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, s.parent, reinterpret_cast<POINT*>(&r), 2);
  const auto scale = [&](LONG v) { return MulDiv(v, s.to, s.from); };
  SetWindowPos(window, nullptr, scale(r.left), scale(r.top), scale(r.right) - scale(r.left),
               scale(r.bottom) - scale(r.top), SWP_NOZORDER | SWP_NOACTIVATE);
  return TRUE;
}
}  // namespace

void SetFontDeep(HWND Root, HFONT Font) { EnumChildWindows(Root, SetFontOf, reinterpret_cast<LPARAM>(Font)); }

void ScaleChildren(HWND Parent, int FromDpi, int ToDpi) {
  if (FromDpi <= 0 || FromDpi == ToDpi) return;
  TScaling scaling{Parent, FromDpi, ToDpi};
  EnumChildWindows(Parent, ScaleChild, reinterpret_cast<LPARAM>(&scaling));
}

void TakeOverDpiChanges(HWND Dialog) {
  using TSetBehavior = BOOL(WINAPI*)(HWND, int, int);
  static const auto set = SystemCall<TSetBehavior>(L"user32.dll", "SetDialogDpiChangeBehavior");
  constexpr int kDisableAll = 1;  // DDC_DISABLE_ALL
  if (set != nullptr) set(Dialog, kDisableAll, kDisableAll);
}

void UseTabBackground(HWND Page) {
  using TEnableTexture = HRESULT(WINAPI*)(HWND, DWORD);
  static const auto enable = SystemCall<TEnableTexture>(L"uxtheme.dll", "EnableThemeDialogTexture");
  constexpr DWORD kEnableTab = 0x00000002 | 0x00000004;  // ETDT_ENABLE | ETDT_USETABTEXTURE
  if (enable != nullptr) enable(Page, kEnableTab);
}

namespace {
INT_PTR CALLBACK HandlerDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
  auto* handler = reinterpret_cast<TDialogHandler*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (handler == nullptr) return FALSE;
  try {
    LRESULT result = 0;
    if (!handler->DialogMessage(dialog, msg, wParam, lParam, result)) return msg == WM_INITDIALOG ? TRUE : FALSE;
    switch (msg) {
      // These answer through the procedure's own result.
      case WM_INITDIALOG:
      case WM_CTLCOLORMSGBOX:
      case WM_CTLCOLOREDIT:
      case WM_CTLCOLORLISTBOX:
      case WM_CTLCOLORBTN:
      case WM_CTLCOLORDLG:
      case WM_CTLCOLORSCROLLBAR:
      case WM_CTLCOLORSTATIC:
      case WM_COMPAREITEM:
      case WM_VKEYTOITEM:
      case WM_CHARTOITEM:
      case WM_QUERYDRAGICON: return static_cast<INT_PTR>(result);
      default: SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result); return TRUE;
    }
  } catch (...) {
    // Nothing may leave a window procedure; the core shows its own errors.
    return FALSE;
  }
}
}  // namespace

HWND CreateDialogFor(TDialogHandler& Handler, int Template, HWND Parent) {
  return CreateDialogParamW(gModule, MAKEINTRESOURCEW(Template), Parent, HandlerDialogProc,
                            reinterpret_cast<LPARAM>(&Handler));
}

void SetModule(HINSTANCE Module) { gModule = Module; }

HINSTANCE ModuleInstance() { return gModule; }

void RunModalLoop(HWND Dialog, const bool& Done, const std::function<bool(MSG&)>& PreTranslate) {
  MSG msg;
  while (!Done) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (got == -1) return;
    if (PreTranslate && PreTranslate(msg)) continue;
    if (IsWindow(Dialog) && IsDialogMessageW(Dialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void ShowOverOwner(HWND Dialog, HWND Owner, HWND Focus) {
  RECT owner{};
  RECT self{};
  GetWindowRect(Owner, &owner);
  GetWindowRect(Dialog, &self);
  SetWindowPos(Dialog, nullptr, (owner.left + owner.right - (self.right - self.left)) / 2,
               (owner.top + owner.bottom - (self.bottom - self.top)) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EnableWindow(Owner, FALSE);
  ShowWindow(Dialog, SW_SHOW);
  SendMessageW(Dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Focus), TRUE);
}

HWND HostOwnerWindow() {
  HWND foreground = GetForegroundWindow();
  if (foreground == nullptr) return nullptr;
  HWND root = GetAncestor(foreground, GA_ROOTOWNER);
  if (root == nullptr) root = foreground;
  return GetWindowThreadProcessId(root, nullptr) == GetCurrentThreadId() ? root : nullptr;
}

namespace {
BOOL CALLBACK DisableHostWindow(HWND window, LPARAM list) {
  if (IsWindowVisible(window) && IsWindowEnabled(window)) {
    EnableWindow(window, FALSE);
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  }
  return TRUE;
}
}  // namespace

THostBlock::THostBlock() {
  EnumThreadWindows(GetCurrentThreadId(), DisableHostWindow, reinterpret_cast<LPARAM>(&disabled_));
}

THostBlock::~THostBlock() { Release(); }

void THostBlock::Release() {
  for (HWND window : disabled_)
    if (IsWindow(window)) EnableWindow(window, TRUE);
  disabled_.clear();
}

TTooltips::TTooltips(HWND Owner) : owner_(Owner) {
  tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Owner, nullptr, ModuleInstance(),
                         nullptr);
}

TTooltips::~TTooltips() {
  if (tip_ != nullptr) DestroyWindow(tip_);
}

void TTooltips::Add(HWND Control, std::string_view Text) {
  std::wstring& stored = hints_[Control] = Wide(Text);
  if (tip_ == nullptr) return;
  TOOLINFOW info{};
  info.cbSize = sizeof(info);
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = owner_;
  info.uId = reinterpret_cast<UINT_PTR>(Control);
  info.lpszText = stored.data();
  SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

std::string TTooltips::HintOf(HWND Control) const {
  const auto found = hints_.find(Control);
  return found == hints_.end() ? std::string() : Utf8(found->second);
}

void TTooltips::SetDpi(int Dpi, HFONT Font) {
  if (tip_ == nullptr) return;
  SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, Scale(400, Dpi));
  SendMessageW(tip_, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
}

TVisualStyles::TVisualStyles() {
  ACTCTXW context{};
  context.cbSize = sizeof(context);
  context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.hModule = ModuleInstance();
  context.lpResourceName = MAKEINTRESOURCEW(2);
  context_ = CreateActCtxW(&context);
  if (context_ != INVALID_HANDLE_VALUE) active_ = ActivateActCtx(context_, &cookie_) != FALSE;
  // The controls of the version the context names (the progress bar's marquee needs 6).
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES |
                                                      ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
}

TVisualStyles::~TVisualStyles() {
  if (active_) DeactivateActCtx(0, cookie_);
  if (context_ != INVALID_HANDLE_VALUE) ReleaseActCtx(context_);
}

bool HtmlHelpCall(HWND Caller, const std::wstring& File, UINT Command, DWORD_PTR Data) {
  using THtmlHelpW = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
  static const auto call = SystemCall<THtmlHelpW>(L"hhctrl.ocx", "HtmlHelpW");
  if (call == nullptr) return false;
  call(Caller, File.empty() ? nullptr : File.c_str(), Command, Data);
  return true;
}

}  // namespace eqd::settings_ui_win32
