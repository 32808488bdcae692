#include "settings_ui/win32/settings_window_win32.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>

#include "settings_ui/settings_ui_texts.h"
#include "settings_ui/win32/resources.h"
#include "settings_ui/win32/settings_list_window.h"

namespace eqd::settings_ui_win32 {

namespace texts = settings_ui_texts;

namespace {

// The layout at 96 DPI.
constexpr int kDesignWidth = 337;
constexpr int kDesignHeight = 386;
constexpr int kMinOuterWidth = 320;
constexpr int kMinOuterHeight = 400;
constexpr int kHeaderHeight = 61;
constexpr int kFooterHeight = 53;
constexpr int kMargin = 6;
constexpr int kLogoSize = 48;
constexpr int kButtonHeight = 25;
constexpr int kButtonWidth = 75;
constexpr int kAdditionalWidth = 110;
constexpr int kMainPageWidth = 435;
constexpr int kMainPageHeight = 253;
constexpr int kLabelLeft = 10;
constexpr int kLabelWidth = 110;
constexpr int kFieldLeft = 124;
constexpr int kRowTop = 14;
constexpr int kRowStep = 32;
constexpr int kEditHeight = 22;
constexpr int kPortWidth = 60;
constexpr int kInfoCaptionWidth = 160;

constexpr UINT kHtmlHelpTopic = 0x0000;      // HH_DISPLAY_TOPIC
constexpr UINT kHtmlHelpTextPopup = 0x000E;  // HH_DISPLAY_TEXT_POPUP

// HTML Help's popup record (HH_POPUP), with the wide texts this module always passes.
struct THtmlHelpPopup {
  int cbStruct;
  HINSTANCE hinst;
  UINT idString;
  LPCWSTR pszText;
  POINT pt;
  COLORREF clrForeground;
  COLORREF clrBackground;
  RECT rcMargins;
  LPCWSTR pszFont;
};

RECT Rect(int x, int y, int w, int h) { return RECT{x, y, x + w, y + h}; }

bool IsInside(HWND ancestor, HWND window) { return window == ancestor || IsChild(ancestor, window) != FALSE; }

// Height of a word-wrapped text in a width, in the font.
int TextHeight(HWND window, HFONT font, const std::wstring& text, int width) {
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, font);
  RECT r{0, 0, width, 0};
  DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return r.bottom - r.top;
}

}  // namespace

TSettingsWindowWin32::TSettingsWindowWin32(TBaseDevice& Device, const std::vector<TSettingsPageClass>& PageClasses,
                                           TDeviceConnectionTest ConnectionTest)
    : FCore(std::make_unique<TfrmCommonSettings>(Device, PageClasses, *this)) {
  FCore->SetConnectionTest(std::move(ConnectionTest));
  for (const auto& page : FCore->Pages())
    if (auto* main = dynamic_cast<TfrmMainSettings*>(page.get())) main->SetView(this);
}

TSettingsWindowWin32::~TSettingsWindowWin32() {
  FCore.reset();
  FTips.reset();
  if (FWindow != nullptr) DestroyWindow(FWindow);
  if (FLogoBitmap != nullptr) DeleteObject(FLogoBitmap);
  if (FWhite != nullptr) DeleteObject(FWhite);
}

void TSettingsWindowWin32::SetDeviceTestVisible(bool Visible) { FCore->SetCapDeviceTest(Visible); }

bool TSettingsWindowWin32::ShowModal() {
  TVisualStyles styles;
  CreateFrame();
  FCore->Open();
  ShowWindow(FWindow, SW_SHOW);
  SetForegroundWindow(FWindow);
  SetFocus(FFields[mfSmtpServerName] != nullptr ? FFields[mfSmtpServerName] : FPages);
  RunModalLoop(FWindow, FDone, [this](MSG& msg) { return PreTranslate(msg); });
  FTips.reset();
  DestroyWindow(FWindow);
  FWindow = nullptr;
  return FOkResult;
}

HWND TSettingsWindowWin32::CreatePanel(HWND Parent, RECT R, int HelpContext) {
  HWND panel = CreateWindowExW(WS_EX_CONTROLPARENT, kPanelClass, L"", WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                               R.left, R.top, R.right - R.left, R.bottom - R.top, Parent, nullptr, ModuleInstance(),
                               static_cast<TMessageHandler*>(this));
  SetWindowContextHelpId(panel, static_cast<DWORD>(HelpContext));
  SetWindowPos(panel, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return panel;
}

SIZE TSettingsWindowWin32::MainPageSize() const {
  const TScale& s = *FScale;
  return SIZE{s(kMainPageWidth), s(kMainPageHeight)};
}

void TSettingsWindowWin32::CreateFrame() {
  FWindow = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTEXTHELP | WS_EX_CONTROLPARENT, kFrameClass,
                            Wide(texts::kWindowCaption).c_str(), WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                            0, 0, 100, 100, nullptr, nullptr, ModuleInstance(), static_cast<TMessageHandler*>(this));
  if (FWindow == nullptr) throw std::runtime_error("the settings window cannot be created");
  FScale = std::make_unique<TScale>(FWindow);
  FFonts = std::make_unique<TFonts>(*FScale);
  FWhite = CreateSolidBrush(RGB(255, 255, 255));
  FTips = std::make_unique<TTooltips>(FWindow);
  const TScale& s = *FScale;
  const HFONT font = FFonts->Normal();
  FHeaderHeight = s(kHeaderHeight);

  // The tab control first: the window grows until the largest page fits its tabs.
  FPages = CreateChild(FWindow, WC_TABCONTROLW, "", WS_TABSTOP | WS_CLIPSIBLINGS | TCS_MULTILINE, 0,
                       Rect(0, 0, s(400), s(300)), kIdPages, font);
  std::vector<std::string> captions;
  for (const auto& page : FCore->Pages()) captions.push_back(page->Caption());
  captions.push_back(texts::kInfoTab);
  for (std::size_t i = 0; i < captions.size(); ++i) {
    std::wstring caption = Wide(captions[i]);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    SendMessageW(FPages, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  SIZE page{0, 0};
  if (!FCore->Pages().empty()) page = MainPageSize();
  RECT needed{0, 0, page.cx, page.cy};
  TabCtrl_AdjustRect(FPages, TRUE, &needed);
  const int clientWidth = std::max(s(kDesignWidth), int(needed.right - needed.left) + 2 * s(kMargin));
  const int clientHeight = std::max(s(kDesignHeight), int(needed.bottom - needed.top) + FHeaderHeight + s(kMargin) +
                                                          s(kFooterHeight));
  RECT outer{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(FWindow, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(FWindow, GWL_EXSTYLE)));
  const int width = std::max<int>(outer.right - outer.left, s(kMinOuterWidth));
  const int height = std::max<int>(outer.bottom - outer.top, s(kMinOuterHeight));
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  SetWindowPos(FWindow, nullptr, work.left + std::max<int>(0, (work.right - work.left - width) / 2),
               work.top + std::max<int>(0, (work.bottom - work.top - height) / 2), width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client{};
  GetClientRect(FWindow, &client);
  const int w = client.right;
  const int h = client.bottom;

  // Header: logo, model name, driver version on white, a line below.
  FLogoBitmap = static_cast<HBITMAP>(
      LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(EQ_IDB_LOGO), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  const int logoTop = (FHeaderHeight - s(kLogoSize)) / 2;
  FLogo = CreateChild(FWindow, L"STATIC", "", SS_OWNERDRAW | SS_NOTIFY, 0,
                      Rect(s(8), logoTop, s(kLogoSize), s(kLogoSize)), kIdLogo, font);
  const int textLeft = s(8) + s(kLogoSize) + s(10);
  HWND model = CreateChild(FWindow, L"STATIC", FCore->ModelName(), SS_LEFT | SS_NOPREFIX, 0,
                           Rect(textLeft, s(6), w - textLeft - s(8), s(32)), kIdModelName, FFonts->Bold());
  HWND version = CreateChild(FWindow, L"STATIC", FCore->VersionLine(), SS_LEFT | SS_NOPREFIX, 0,
                             Rect(textLeft, FHeaderHeight - s(8) - s(16), w - textLeft - s(8), s(16)), kIdVersion,
                             font);
  FHeaderControls = {FLogo, model, version};
  CreateChild(FWindow, L"STATIC", "", SS_ETCHEDHORZ, 0, Rect(0, FHeaderHeight - 2, w, 2), -1, nullptr);

  // Content: the tabs and one panel per tab over their display area.
  MoveWindow(FPages, s(kMargin), FHeaderHeight + s(kMargin), w - 2 * s(kMargin),
             h - FHeaderHeight - s(kMargin) - s(kFooterHeight), FALSE);
  SetWindowContextHelpId(FPages, TfrmCommonSettings::kHelpPages);
  FTips->Add(FPages, texts::kPagesHint);
  RECT display{};
  GetWindowRect(FPages, &display);
  MapWindowPoints(nullptr, FWindow, reinterpret_cast<POINT*>(&display), 2);
  TabCtrl_AdjustRect(FPages, FALSE, &display);
  for (const auto& pageCore : FCore->Pages()) {
    HWND panel = CreatePanel(FWindow, display, TfrmCommonSettings::kHelpPages);
    if (dynamic_cast<TfrmMainSettings*>(pageCore.get()) != nullptr) CreateMainPage(panel);
    FPagePanels.push_back(panel);
  }
  HWND info = CreatePanel(FWindow, display, TfrmCommonSettings::kHelpPages);
  CreateInfoPage(info);
  FPagePanels.push_back(info);
  TabCtrl_SetCurSel(FPages, 0);
  ShowTab(FPages, FPagePanels);

  // Footer: a line, "Дополнительно" left, "ОК" and "Отмена" right.
  const int footerTop = h - s(kFooterHeight);
  CreateChild(FWindow, L"STATIC", "", SS_ETCHEDHORZ, 0, Rect(0, footerTop, w, 2), -1, nullptr);
  const int y = footerTop + (s(kFooterHeight) - s(kButtonHeight)) / 2;
  FAdditional = CreateChild(FWindow, L"BUTTON", texts::kAdditionalButton, WS_TABSTOP | BS_PUSHBUTTON, 0,
                            Rect(s(8), y, s(kAdditionalWidth), s(kButtonHeight)), kIdAdditional, font);
  HWND ok = CreateChild(FWindow, L"BUTTON", texts::kOkButton, WS_TABSTOP | BS_PUSHBUTTON, 0,
                        Rect(w - s(8) - 2 * s(kButtonWidth) - s(6), y, s(kButtonWidth), s(kButtonHeight)), kIdOk,
                        font);
  HWND cancel = CreateChild(FWindow, L"BUTTON", texts::kCancelButton, WS_TABSTOP | BS_PUSHBUTTON, 0,
                            Rect(w - s(8) - s(kButtonWidth), y, s(kButtonWidth), s(kButtonHeight)), kIdCancel, font);
  SetWindowContextHelpId(FAdditional, TfrmCommonSettings::kHelpAdditional);
  SetWindowContextHelpId(ok, TfrmCommonSettings::kHelpOk);
  SetWindowContextHelpId(cancel, TfrmCommonSettings::kHelpCancel);
  FTips->Add(FAdditional, texts::kAdditionalHint);
  FTips->Add(ok, texts::kOkHint);
  FTips->Add(cancel, texts::kCancelHint);
}

void TSettingsWindowWin32::CreateMainPage(HWND Panel) {
  const TScale& s = *FScale;
  const HFONT font = FFonts->Normal();
  RECT r{};
  GetClientRect(Panel, &r);
  FInnerTabs = CreateChild(Panel, WC_TABCONTROLW, "", WS_TABSTOP | WS_CLIPSIBLINGS, 0, r, kIdInnerTabs, font);
  for (const char* caption : {texts::kSmtpTab, texts::kGeneralTab}) {
    std::wstring text = Wide(caption);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    SendMessageW(FInnerTabs, TCM_INSERTITEMW, static_cast<WPARAM>(TabCtrl_GetItemCount(FInnerTabs)), reinterpret_cast<LPARAM>(&item));
  }
  RECT display = r;
  TabCtrl_AdjustRect(FInnerTabs, FALSE, &display);
  HWND tabs[2] = {CreatePanel(Panel, display, 0), CreatePanel(Panel, display, 0)};
  FInnerPanels.assign(tabs, tabs + 2);
  const int innerWidth = display.right - display.left;
  const int innerHeight = display.bottom - display.top;
  const int fieldWidth = innerWidth - s(kFieldLeft) - s(12);
  int row[2] = {0, 0};
  for (std::size_t i = 0; i < mfCount; ++i) {
    const TMainSettingsFieldInfo& field = MainSettingsFields()[i];
    HWND parent = tabs[field.Tab];
    const int y = s(kRowTop) + row[field.Tab]++ * s(kRowStep);
    const bool memo = i == mfBodyText;
    CreateChild(parent, L"STATIC", field.Label, SS_LEFT, 0,
                Rect(s(kLabelLeft), y + s(3), s(kLabelWidth), memo ? s(34) : s(18)), -1, font);
    DWORD style = WS_TABSTOP | ES_AUTOHSCROLL;
    if (i == mfSmtpServerPort) style |= ES_NUMBER;
    if (memo) style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL | WS_HSCROLL;
    const int width = i == mfSmtpServerPort ? s(kPortWidth) : fieldWidth;
    const int height = memo ? innerHeight - y - s(12) : s(kEditHeight);
    HWND edit = CreateChild(parent, L"EDIT", "", style, WS_EX_CLIENTEDGE, Rect(s(kFieldLeft), y, width, height),
                            kIdFirstField + static_cast<int>(i), font);
    FFields[i] = edit;
    if (field.Hint != nullptr) FTips->Add(edit, field.Hint);
  }
  SendMessageW(FFields[mfUserEmail], EM_SETCUEBANNER, FALSE,
               reinterpret_cast<LPARAM>(Wide(texts::kEmailPlaceholder).c_str()));
  TabCtrl_SetCurSel(FInnerTabs, 0);
  ShowTab(FInnerTabs, FInnerPanels);
}

void TSettingsWindowWin32::CreateInfoPage(HWND Panel) {
  const TScale& s = *FScale;
  RECT r{};
  GetClientRect(Panel, &r);
  const int valueLeft = s(kLabelLeft) + s(kInfoCaptionWidth);
  const int valueWidth = r.right - valueLeft - s(10);
  const std::vector<TInfoRow> rows = FCore->InfoRows();
  int y = s(10);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::wstring value = Wide(rows[i].Value);
    const bool last = i + 1 == rows.size();
    const int captionWidth = s(kInfoCaptionWidth) - s(6);
    const int captionHeight = TextHeight(Panel, FFonts->Bold(), Wide(rows[i].Caption), captionWidth);
    const int valueHeight = std::max(TextHeight(Panel, FFonts->Normal(), value, valueWidth), captionHeight);
    const int height = last ? std::max<int>(r.bottom - y - s(6), valueHeight) : valueHeight;
    CreateChild(Panel, L"STATIC", rows[i].Caption, SS_LEFT | SS_NOPREFIX, 0,
                Rect(s(kLabelLeft), y, captionWidth, captionHeight), -1, FFonts->Bold());
    CreateChild(Panel, L"STATIC", rows[i].Value, SS_LEFT | SS_NOPREFIX, 0, Rect(valueLeft, y, valueWidth, height),
                kIdFirstInfo + static_cast<int>(i), FFonts->Normal());
    y += height + s(8);
  }
}

void TSettingsWindowWin32::ShowTab(HWND TabControl, const std::vector<HWND>& Panels) {
  const int selected = TabCtrl_GetCurSel(TabControl);
  for (std::size_t i = 0; i < Panels.size(); ++i)
    ShowWindow(Panels[i], static_cast<int>(i) == selected ? SW_SHOW : SW_HIDE);
  // The inner tabs' panels show only while their page does.
  if (TabControl == FPages && !FInnerPanels.empty() && selected == 0) ShowTab(FInnerTabs, FInnerPanels);
}

void TSettingsWindowWin32::OpenMenu() {
  FCore->MenuOpening();
  const auto build = [](const auto& self, const std::vector<TMenuItemState>& items) -> HMENU {
    HMENU menu = CreatePopupMenu();
    bool separatorPending = false;
    bool any = false;
    for (const TMenuItemState& item : items) {
      if (!item.Visible) continue;
      if (item.Command == mcSeparator) {
        separatorPending = any;  // never first, never two in a row, never last
        continue;
      }
      if (separatorPending) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      separatorPending = false;
      any = true;
      const UINT enabled = item.Enabled ? MF_ENABLED : MF_GRAYED;
      if (!item.Items.empty()) {
        AppendMenuW(menu, MF_POPUP | enabled, reinterpret_cast<UINT_PTR>(self(self, item.Items)),
                    Wide(item.Caption).c_str());
      } else {
        AppendMenuW(menu, MF_STRING | enabled, static_cast<UINT_PTR>(kMenuBase + item.Command),
                    Wide(item.Caption).c_str());
      }
    }
    return menu;
  };
  HMENU menu = build(build, FCore->MenuItems());
  RECT button{};
  GetWindowRect(FAdditional, &button);
  SetForegroundWindow(FWindow);
  TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, button.left, button.bottom, FWindow, nullptr);
  DestroyMenu(menu);
}

void TSettingsWindowWin32::HelpFor(HWND Control) {
  DWORD context = 0;
  for (HWND h = Control; h != nullptr && context == 0; h = h == FWindow ? nullptr : GetParent(h))
    context = GetWindowContextHelpId(h);
  RECT r{};
  GetWindowRect(Control, &r);
  const DWORD position = static_cast<DWORD>(static_cast<WORD>(r.left)) | (static_cast<DWORD>(static_cast<WORD>(r.top)) << 16);
  FCore->HelpRequest(HELP_SETPOPUP_POS, position);
  FCore->HelpRequest(HELP_CONTEXTPOPUP, context);
}

void TSettingsWindowWin32::Finish(bool Ok) {
  if (!FCore->CloseQuery(Ok)) return;
  FOkResult = Ok;
  FDone = true;
}

bool TSettingsWindowWin32::PreTranslate(MSG& Msg) {
  if (Msg.message != WM_KEYDOWN || FWindow == nullptr || !IsInside(FWindow, Msg.hwnd)) return false;
  if (Msg.wParam == VK_F1) {
    HWND focus = GetFocus();
    HelpFor(focus != nullptr && IsInside(FWindow, focus) ? focus : Msg.hwnd);
    return true;
  }
  // Neither button answers Enter or Escape; only the body's memo takes Enter.
  if (Msg.wParam == VK_ESCAPE) return true;
  if (Msg.wParam == VK_RETURN && Msg.hwnd != FFields[mfBodyText]) return true;
  return false;
}

LRESULT TSettingsWindowWin32::ControlColour(HWND Control, HDC Dc) {
  if (std::find(FHeaderControls.begin(), FHeaderControls.end(), Control) == FHeaderControls.end()) return 0;
  SetBkColor(Dc, RGB(255, 255, 255));
  SetTextColor(Dc, GetSysColor(COLOR_WINDOWTEXT));
  return reinterpret_cast<LRESULT>(FWhite);
}

LRESULT TSettingsWindowWin32::HandleMessage(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  switch (Msg) {
    case WM_COMMAND: {
      const int id = LOWORD(WParam);
      const int code = HIWORD(WParam);
      if (LParam == 0 && id > kMenuBase) {
        const int command = id - kMenuBase;
        FCore->MenuCommand(static_cast<TMenuCommand>(command), command >= mcFirstAction ? command - mcFirstAction : -1);
      } else if (code == BN_CLICKED && id == kIdOk) {
        Finish(true);
      } else if (code == BN_CLICKED && id == kIdCancel) {
        Finish(false);
      } else if (code == BN_CLICKED && id == kIdAdditional) {
        OpenMenu();
      } else if (code == STN_CLICKED && id == kIdLogo) {
        FCore->LogoClick();
      }
      return 0;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(LParam);
      if (header->code == TCN_SELCHANGE && header->hwndFrom == FPages) ShowTab(FPages, FPagePanels);
      if (header->code == TCN_SELCHANGE && header->hwndFrom == FInnerTabs) ShowTab(FInnerTabs, FInnerPanels);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
      if (LRESULT brush = ControlColour(reinterpret_cast<HWND>(LParam), reinterpret_cast<HDC>(WParam))) return brush;
      break;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(LParam);
      if (item->hwndItem != FLogo) break;
      FillRect(item->hDC, &item->rcItem, FWhite);
      if (FLogoBitmap != nullptr) {
        BITMAP info{};
        GetObjectW(FLogoBitmap, sizeof(info), &info);
        HDC source = CreateCompatibleDC(item->hDC);
        HGDIOBJ old = SelectObject(source, FLogoBitmap);
        SetStretchBltMode(item->hDC, HALFTONE);
        StretchBlt(item->hDC, item->rcItem.left, item->rcItem.top, item->rcItem.right - item->rcItem.left,
                   item->rcItem.bottom - item->rcItem.top, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
        SelectObject(source, old);
        DeleteDC(source);
      }
      return TRUE;
    }
    case WM_CLOSE:
      if (Window == FWindow) Finish(false);
      return 0;  // a panel is never closed (a multi-line edit asks its parent on Escape)
    default: break;
  }
  if (Window != FWindow) return DefWindowProcW(Window, Msg, WParam, LParam);
  switch (Msg) {
    case WM_ERASEBKGND: {
      RECT r{};
      GetClientRect(Window, &r);
      FillRect(reinterpret_cast<HDC>(WParam), &r, GetSysColorBrush(COLOR_BTNFACE));
      r.bottom = FHeaderHeight;
      FillRect(reinterpret_cast<HDC>(WParam), &r, FWhite);
      return 1;
    }
    case WM_SETCURSOR:
      if (FWaiting > 0) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
        return TRUE;
      }
      if (reinterpret_cast<HWND>(WParam) == FLogo) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
        return TRUE;
      }
      break;
    case WM_HELP: {
      const auto* info = reinterpret_cast<const HELPINFO*>(LParam);
      HelpFor(info->iContextType == HELPINFO_WINDOW ? static_cast<HWND>(info->hItemHandle) : Window);
      return TRUE;
    }
    default: break;
  }
  return DefWindowProcW(Window, Msg, WParam, LParam);
}

void TSettingsWindowWin32::SetWaitCursor(bool Wait) {
  FWaiting = std::max(0, FWaiting + (Wait ? 1 : -1));
  SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(FWaiting > 0 ? IDC_WAIT : IDC_ARROW)));
}

void TSettingsWindowWin32::ShowError(const std::string& Text) {
  MessageBoxW(FWindow, Wide(Text).c_str(), Wide(texts::kErrorCaption).c_str(), MB_OK | MB_ICONERROR);
}

bool TSettingsWindowWin32::ShowSettingsList(TBaseDevice& Device) {
  TSettingsListWindow list(Device);
  const bool ok = list.ShowModal(FWindow);
  return ok;
}

void TSettingsWindowWin32::ShellOpen(const std::string& Target, bool Maximized) {
  ShellExecuteW(nullptr, L"open", Wide(Target).c_str(), nullptr, nullptr, Maximized ? SW_SHOWMAXIMIZED : SW_RESTORE);
}

std::string TSettingsWindowWin32::PickLogFile(const std::string& Folder) {
  std::wstring filter = Wide(texts::kLogFileFilterName);
  filter.push_back(L'\0');
  filter += Wide(texts::kLogFileFilterPattern);
  filter.push_back(L'\0');
  const std::wstring folder = Wide(Folder);
  std::wstring file(MAX_PATH * 4, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = FWindow;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = folder.c_str();
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
  if (!GetOpenFileNameW(&dialog)) return {};
  file.resize(wcslen(file.c_str()));
  return Utf8(file);
}

void TSettingsWindowWin32::ShowHelpFile(const std::string& HelpFile) {
  HtmlHelpCall(FWindow, Wide(HelpFile), kHtmlHelpTopic, 0);
}

std::string TSettingsWindowWin32::ControlHintAt(TScreenPoint& Position) {
  HWND control = nullptr;
  if (GetKeyState(VK_F1) < 0) {
    control = GetFocus();
  } else {
    POINT p{};
    GetCursorPos(&p);
    Position = {p.x, p.y};
    // The deepest child under the pointer, disabled ones included.
    for (HWND h = FWindow; h != nullptr;) {
      POINT local = p;
      ScreenToClient(h, &local);
      HWND child = ChildWindowFromPointEx(h, local, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
      if (child == nullptr || child == h) break;
      control = h = child;
    }
  }
  if (control == nullptr || !IsInside(FWindow, control)) return {};
  RECT r{};
  GetWindowRect(control, &r);
  Position = {r.left, r.top};
  return FTips->HintOf(control);
}

void TSettingsWindowWin32::ShowHelpPopup(const THelpPopup& Popup) {
  const std::wstring text = Wide(Popup.Text);
  THtmlHelpPopup record{};
  record.cbStruct = sizeof(record);
  record.idString = Popup.TopicID;
  record.pszText = Popup.TopicFile.empty() ? text.c_str() : nullptr;
  record.pt = POINT{Popup.Position.X, Popup.Position.Y};
  record.clrForeground = RGB(0, 0, 0);
  record.clrBackground = RGB(0xFF, 0xFF, 0xEE);
  record.rcMargins = RECT{5, 5, 5, 5};
  HtmlHelpCall(FWindow, Wide(Popup.TopicFile), kHtmlHelpTextPopup, reinterpret_cast<DWORD_PTR>(&record));
}

std::string TSettingsWindowWin32::FieldText(TMainSettingsField Field) {
  return FFields[Field] != nullptr ? Utf8(WindowText(FFields[Field])) : std::string();
}

void TSettingsWindowWin32::SetFieldText(TMainSettingsField Field, const std::string& Text) {
  if (FFields[Field] != nullptr) SetWindowTextW(FFields[Field], Wide(Text).c_str());
}

void RegisterSettingsWindow(HINSTANCE Module, TDeviceConnectionTest ConnectionTest) {
  RegisterWindowClasses(Module);
  SetSettingsWindowFactory([test = std::move(ConnectionTest)](TBaseDevice& Device,
                                                             const std::vector<TSettingsPageClass>& PageClasses) {
    return std::unique_ptr<TSettingsWindow>(std::make_unique<TSettingsWindowWin32>(Device, PageClasses, test));
  });
}

void UnregisterSettingsWindow() {
  SetSettingsWindowFactory({});
  UnregisterWindowClasses();
}

}  // namespace eqd::settings_ui_win32
