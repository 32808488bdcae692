#include "settings_ui/win32/win32_ui.h"

#include <commctrl.h>

#include "platform/win32/wide.h"

namespace eqd::settings_ui_win32 {

std::wstring Wide(std::string_view Text) { return platform::win32::Utf8ToWide(Text); }
std::string Utf8(std::wstring_view Text) { return platform::win32::WideToUtf8(Text); }

std::wstring WindowText(HWND Window) {
  const int length = GetWindowTextLengthW(Window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(Window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

TScale::TScale(HWND Window) {
  // Per window where the system knows it (Windows 10 and later); the host decides
  // whether that differs from the system's DPI, this module never changes the process's.
  using TGetDpiForWindow = UINT(WINAPI*)(HWND);
  const auto getDpi = reinterpret_cast<TGetDpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpi != nullptr && Window != nullptr) dpi_ = static_cast<int>(getDpi(Window));
  if (dpi_ <= 0 || getDpi == nullptr || Window == nullptr) {
    HDC screen = GetDC(nullptr);
    dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  if (dpi_ <= 0) dpi_ = 96;
}

TFonts::TFonts(const TScale& Scale) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  LOGFONTW font{};
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) font = metrics.lfMessageFont;
  if (font.lfFaceName[0] == L'\0') lstrcpynW(font.lfFaceName, L"Tahoma", LF_FACESIZE);
  font.lfHeight = -MulDiv(9, Scale.Dpi(), 72);
  font.lfWidth = 0;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = CLEARTYPE_QUALITY;
  normal_ = CreateFontIndirectW(&font);
  font.lfWeight = FW_BOLD;
  bold_ = CreateFontIndirectW(&font);
}

TFonts::~TFonts() {
  if (normal_ != nullptr) DeleteObject(normal_);
  if (bold_ != nullptr) DeleteObject(bold_);
}

HWND CreateChild(HWND Parent, const wchar_t* Class, std::string_view Text, DWORD Style, DWORD ExStyle, RECT Rect,
                 int ID, HFONT Font) {
  HWND child = CreateWindowExW(ExStyle, Class, Wide(Text).c_str(), Style | WS_CHILD | WS_VISIBLE, Rect.left, Rect.top,
                               Rect.right - Rect.left, Rect.bottom - Rect.top, Parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(ID)), ModuleInstance(), nullptr);
  if (child != nullptr && Font != nullptr) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
  return child;
}

namespace {

HINSTANCE gModule = nullptr;
bool gRegistered = false;

LRESULT CALLBACK HandlerProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* handler = reinterpret_cast<TMessageHandler*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (handler == nullptr) return DefWindowProcW(window, msg, wParam, lParam);
  try {
    return handler->HandleMessage(window, msg, wParam, lParam);
  } catch (...) {
    // Nothing may leave a window procedure; the core shows its own errors.
    return DefWindowProcW(window, msg, wParam, lParam);
  }
}

}  // namespace

void RegisterWindowClasses(HINSTANCE Module) {
  gModule = Module;
  if (gRegistered) return;
  WNDCLASSEXW frame{};
  frame.cbSize = sizeof(frame);
  frame.lpfnWndProc = HandlerProc;
  frame.hInstance = Module;
  frame.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  frame.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  frame.lpszClassName = kFrameClass;
  frame.style = CS_DBLCLKS;
  WNDCLASSEXW panel = frame;
  panel.lpszClassName = kPanelClass;
  gRegistered = RegisterClassExW(&frame) != 0 && RegisterClassExW(&panel) != 0;
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES |
                                                      ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
}

void UnregisterWindowClasses() {
  if (!gRegistered) return;
  UnregisterClassW(kFrameClass, gModule);
  UnregisterClassW(kPanelClass, gModule);
  gRegistered = false;
}

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

TTooltips::TTooltips(HWND Owner) : owner_(Owner) {
  tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Owner, nullptr, ModuleInstance(),
                         nullptr);
  if (tip_ != nullptr) SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, 400);
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

TVisualStyles::TVisualStyles() {
  ACTCTXW context{};
  context.cbSize = sizeof(context);
  context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.hModule = ModuleInstance();
  context.lpResourceName = MAKEINTRESOURCEW(2);
  context_ = CreateActCtxW(&context);
  if (context_ != INVALID_HANDLE_VALUE) active_ = ActivateActCtx(context_, &cookie_) != FALSE;
}

TVisualStyles::~TVisualStyles() {
  if (active_) DeactivateActCtx(0, cookie_);
  if (context_ != INVALID_HANDLE_VALUE) ReleaseActCtx(context_);
}

bool HtmlHelpCall(HWND Caller, const std::wstring& File, UINT Command, DWORD_PTR Data) {
  using THtmlHelpW = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
  static THtmlHelpW call = [] {
    HMODULE library = LoadLibraryW(L"hhctrl.ocx");
    return library == nullptr ? nullptr
                              : reinterpret_cast<THtmlHelpW>(
                                    reinterpret_cast<void*>(GetProcAddress(library, "HtmlHelpW")));
  }();
  if (call == nullptr) return false;
  call(Caller, File.empty() ? nullptr : File.c_str(), Command, Data);
  return true;
}

}  // namespace eqd::settings_ui_win32
