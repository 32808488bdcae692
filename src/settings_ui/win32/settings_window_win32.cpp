#include "settings_ui/win32/settings_window_win32.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <stdexcept>
#include <thread>
#include <utility>

#include "settings_ui/settings_ui_texts.h"
#include "settings_ui/win32/device_test_progress.h"
#include "settings_ui/win32/oauth_sign_in_dialog.h"
#include "settings_ui/win32/settings_list_window.h"

namespace eqd::settings_ui_win32 {

namespace texts = settings_ui_texts;

namespace {

// The layout at 96 DPI where the design gives pixels; the rest is in dialog units.
constexpr int kDesignWidth = 337;
constexpr int kDesignHeight = 386;
constexpr int kMinOuterWidth = 320;
constexpr int kMinOuterHeight = 400;
constexpr int kHeaderHeight = 61;
constexpr int kFooterHeight = 53;
constexpr int kLogoSize = 48;
// The help popup's margins.
constexpr int kPopupMargin = 5;

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

bool IsInside(HWND ancestor, HWND window) { return window == ancestor || IsChild(ancestor, window) != FALSE; }

bool IsMultiLineEdit(HWND window) {
  wchar_t cls[16] = {};
  GetClassNameW(window, cls, 16);
  return lstrcmpiW(cls, L"Edit") == 0 && (GetWindowLongW(window, GWL_STYLE) & ES_MULTILINE) != 0;
}

// The access key of each menu item's caption.
const char* MenuKey(TMenuCommand command) {
  switch (command) {
    case mcReset: return texts::kMenuResetKey;
    case mcDeviceTest: return texts::kMenuDeviceTestKey;
    case mcSettingsList: return texts::kMenuSettingsListKey;
    case mcOpenDebugLog: return texts::kMenuDebugLogsKey;
    case mcOpenCurrentDebugLog: return texts::kMenuCurrentDebugLogKey;
    case mcOpenDebugLogDirectory: return texts::kMenuDebugLogFolderKey;
    case mcHelp: return texts::kMenuHelpKey;
    default: return "";
  }
}

HMENU BuildMenu(const std::vector<TMenuItemState>& items, int base) {
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
    const std::wstring caption = WithAccessKey(item.Caption, MenuKey(item.Command));
    if (!item.Items.empty())
      AppendMenuW(menu, MF_POPUP | enabled, reinterpret_cast<UINT_PTR>(BuildMenu(item.Items, base)), caption.c_str());
    else
      AppendMenuW(menu, MF_STRING | enabled, static_cast<UINT_PTR>(base + item.Command), caption.c_str());
  }
  return menu;
}

}  // namespace

TSettingsWindowWin32::TSettingsWindowWin32(TBaseDevice& Device, const std::vector<TSettingsPageClass>& PageClasses,
                                           TDeviceConnectionTest ConnectionTest)
    : FCore(std::make_unique<TfrmCommonSettings>(Device, PageClasses, *this)) {
  FCore->SetConnectionTest(std::move(ConnectionTest));
}

TSettingsWindowWin32::~TSettingsWindowWin32() {
  FCore.reset();
  FPageWindows.clear();
  FTips.reset();
  if (FWindow != nullptr) DestroyWindow(FWindow);
}

void TSettingsWindowWin32::SetDeviceTestVisible(bool Visible) { FCore->SetCapDeviceTest(Visible); }

bool TSettingsWindowWin32::ShowModal() {
  TVisualStyles styles;
  const HWND owner = HostOwnerWindow();
  THostBlock block;
  CreateFrame(owner);
  FCore->Open();
  ShowWindow(FWindow, SW_SHOW);
  SetForegroundWindow(FWindow);
  HWND first = FMainPage != nullptr ? FMainPage->Field(mfSmtpServerName) : FPages;
  SendMessageW(FWindow, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(first), TRUE);
  RunModalLoop(FWindow, FDone, [this](MSG& msg) { return PreTranslate(msg); });
  // Input back before the window goes, so that the system activates the host's window.
  block.Release();
  if (owner != nullptr) EnableWindow(owner, TRUE);
  FPageWindows.clear();
  FMainPage = nullptr;
  FTips.reset();
  DestroyWindow(FWindow);
  FWindow = nullptr;
  return FOkResult;
}

void TSettingsWindowWin32::CreateFrame(HWND Owner) {
  FWindow = CreateDialogFor(*this, EQ_IDD_SETTINGS, Owner);
  if (FWindow == nullptr) throw std::runtime_error("the settings window cannot be created");
  TakeOverDpiChanges(FWindow);
  FDpi = LayoutDpi(FWindow);
  FFonts = std::make_unique<TDialogFonts>(FWindow, FDpi);
  FTips = std::make_unique<TTooltips>(FWindow);
  FTips->SetDpi(FDpi, FFonts->Normal());
  FWhite.Reset(CreateSolidBrush(RGB(255, 255, 255)));
  FLogoBitmap.Reset(static_cast<HBITMAP>(
      LoadImageW(ModuleInstance(), MAKEINTRESOURCEW(EQ_IDB_LOGO), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));

  SetText(FWindow, texts::kWindowCaption);
  SetText(GetDlgItem(FWindow, kIdModelName), FCore->ModelName());
  SendDlgItemMessageW(FWindow, kIdModelName, WM_SETFONT, reinterpret_cast<WPARAM>(FFonts->Bold()), FALSE);
  SetText(GetDlgItem(FWindow, kIdVersion), FCore->VersionLine());
  const struct {
    int Id;
    const char* Text;
    const char* Key;
    const char* Hint;
    int HelpContext;
  } buttons[] = {
      {kIdAdditional, texts::kAdditionalButton, texts::kAdditionalKey, texts::kAdditionalHint,
       TfrmCommonSettings::kHelpAdditional},
      {kIdOk, texts::kOkButton, texts::kOkKey, texts::kOkHint, TfrmCommonSettings::kHelpOk},
      {kIdCancel, texts::kCancelButton, texts::kCancelKey, texts::kCancelHint, TfrmCommonSettings::kHelpCancel},
  };
  for (const auto& b : buttons) {
    HWND button = GetDlgItem(FWindow, b.Id);
    SetWindowTextW(button, WithAccessKey(b.Text, b.Key).c_str());
    SetWindowContextHelpId(button, static_cast<DWORD>(b.HelpContext));
    FTips->Add(button, b.Hint);
  }

  FPages = GetDlgItem(FWindow, kIdPages);
  SetWindowContextHelpId(FPages, TfrmCommonSettings::kHelpPages);
  FTips->Add(FPages, texts::kPagesHint);
  std::vector<std::string> captions;
  for (const auto& page : FCore->Pages()) {
    auto* main = dynamic_cast<TfrmMainSettings*>(page.get());
    if (main == nullptr) throw std::runtime_error("a settings page this window cannot show: " + page->Caption());
    auto window = std::make_unique<TMainPageWin32>(FWindow, *FTips);
    main->SetView(window.get());
    main->SetSecurityView(window.get());
    window->SetMailServiceHandler([main](std::size_t Index) { main->MailServiceChosen(Index); });
    window->SetSecurityChoiceHandler([main] { main->SecurityChoiceChanged(); });
    window->SetSignInHandler([this, main] { SignIn(*main); });
    FMainPage = window.get();
    FPageWindows.push_back(std::move(window));
    captions.push_back(page->Caption());
  }
  FPageWindows.push_back(std::make_unique<TInfoPageWin32>(FWindow, FCore->InfoRows(), FFonts->Bold()));
  captions.push_back(texts::kInfoTab);
  HWND previous = FPages;
  for (std::size_t i = 0; i < captions.size(); ++i) {
    std::wstring caption = Wide(captions[i]);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = caption.data();
    SendMessageW(FPages, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    // Each page right after the tab strip (and the pages before it) in the Tab order.
    HWND page = FPageWindows[i]->Window();
    SetWindowContextHelpId(page, TfrmCommonSettings::kHelpPages);
    SetWindowPos(page, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    previous = page;
  }
  TabCtrl_SetCurSel(FPages, 0);
  Layout();
  ShowTab(0);

  // Centred on the screen's work area.
  RECT work{};
  RECT self{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  GetWindowRect(FWindow, &self);
  SetWindowPos(FWindow, nullptr, work.left + std::max<int>(0, (work.right - work.left - (self.right - self.left)) / 2),
               work.top + std::max<int>(0, (work.bottom - work.top - (self.bottom - self.top)) / 2), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  // A per-monitor aware host may have the window on a monitor of another DPI than the one
  // its font was made for.
  const int dpi = WindowDpi(FWindow, FDpi);
  if (dpi != FDpi) ChangeDpi(dpi, nullptr);
}

void TSettingsWindowWin32::Layout() {
  const TDialogUnits du(FWindow, FFonts->Normal());
  const int header = Scale(kHeaderHeight, FDpi);
  const int footer = Scale(kFooterHeight, FDpi);
  const int margin = du.X(4);

  // The window grows until the largest page fits its tab; it never shrinks below the design.
  SIZE page{0, 0};
  for (const auto& p : FPageWindows) {
    const SIZE needed = p->NeededSize();
    page.cx = std::max(page.cx, needed.cx);
    page.cy = std::max(page.cy, needed.cy);
  }
  RECT needed{0, 0, page.cx, page.cy};
  TabCtrl_AdjustRect(FPages, TRUE, &needed);
  const int clientWidth = std::max<int>(Scale(kDesignWidth, FDpi), needed.right - needed.left + 2 * margin);
  const int clientHeight =
      std::max<int>(Scale(kDesignHeight, FDpi), needed.bottom - needed.top + header + margin + footer);
  RECT outer{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(FWindow, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(FWindow, GWL_EXSTYLE)));
  SetWindowPos(FWindow, nullptr, 0, 0, std::max<int>(outer.right - outer.left, Scale(kMinOuterWidth, FDpi)),
               std::max<int>(outer.bottom - outer.top, Scale(kMinOuterHeight, FDpi)),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT client{};
  GetClientRect(FWindow, &client);
  const int w = client.right;
  const int h = client.bottom;

  // Header: the logo, the model name (wrapped) above the driver version, a line below.
  const int logo = Scale(kLogoSize, FDpi);
  MoveWindow(GetDlgItem(FWindow, kIdLogo), du.X(5), (header - logo) / 2, logo, logo, TRUE);
  const int textLeft = du.X(5) + logo + du.X(6);
  const int textWidth = w - textLeft - du.X(5);
  HWND version = GetDlgItem(FWindow, kIdVersion);
  const int versionHeight = TextHeight(FWindow, FFonts->Normal(), WindowText(version), textWidth);
  MoveWindow(version, textLeft, header - du.Y(4) - versionHeight, textWidth, versionHeight, TRUE);
  MoveWindow(GetDlgItem(FWindow, kIdModelName), textLeft, du.Y(4), textWidth,
             std::max(header - du.Y(8) - versionHeight, du.Y(8)), TRUE);
  MoveWindow(GetDlgItem(FWindow, EQ_IDC_HEADER_LINE), 0, header - 2, w, 2, TRUE);

  // Content: the tab strip with each page over its display area.
  MoveWindow(FPages, margin, header + margin, w - 2 * margin, h - header - margin - footer, TRUE);
  RECT display{};
  GetWindowRect(FPages, &display);
  MapWindowPoints(nullptr, FWindow, reinterpret_cast<POINT*>(&display), 2);
  TabCtrl_AdjustRect(FPages, FALSE, &display);
  for (const auto& p : FPageWindows) {
    MoveWindow(p->Window(), display.left, display.top, display.right - display.left, display.bottom - display.top,
               TRUE);
    p->Layout();
  }

  // Footer: a line, "Дополнительно" left, "ОК" and "Отмена" right, each as wide as its text needs.
  const int footerTop = h - footer;
  MoveWindow(GetDlgItem(FWindow, EQ_IDC_FOOTER_LINE), 0, footerTop, w, 2, TRUE);
  const auto width = [&](int id, int least) {
    return std::max(du.X(least), TextWidth(FWindow, FFonts->Normal(), WindowText(GetDlgItem(FWindow, id))) + du.X(12));
  };
  const int buttonHeight = du.Y(14);
  const int y = footerTop + (footer - buttonHeight) / 2;
  const int cancelWidth = width(kIdCancel, 50);
  const int okWidth = width(kIdOk, 50);
  MoveWindow(GetDlgItem(FWindow, kIdAdditional), margin + du.X(1), y, width(kIdAdditional, 64), buttonHeight, TRUE);
  MoveWindow(GetDlgItem(FWindow, kIdCancel), w - margin - du.X(1) - cancelWidth, y, cancelWidth, buttonHeight, TRUE);
  MoveWindow(GetDlgItem(FWindow, kIdOk), w - margin - du.X(1) - cancelWidth - du.X(4) - okWidth, y, okWidth,
             buttonHeight, TRUE);
  InvalidateRect(FWindow, nullptr, TRUE);
}

void TSettingsWindowWin32::ChangeDpi(int Dpi, const RECT* Suggested) {
  const int from = FDpi;
  FDpi = Dpi;
  // The old fonts go only once no control uses them any more.
  const std::unique_ptr<TDialogFonts> old = std::exchange(FFonts, std::make_unique<TDialogFonts>(FWindow, Dpi));
  SetFontDeep(FWindow, FFonts->Normal());
  SendDlgItemMessageW(FWindow, kIdModelName, WM_SETFONT, reinterpret_cast<WPARAM>(FFonts->Bold()), FALSE);
  for (const auto& page : FPageWindows) page->Rescale(from, Dpi, *FFonts);
  FTips->SetDpi(Dpi, FFonts->Normal());
  if (Suggested != nullptr)
    SetWindowPos(FWindow, nullptr, Suggested->left, Suggested->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  Layout();
}

void TSettingsWindowWin32::ShowTab(int Index) {
  for (std::size_t i = 0; i < FPageWindows.size(); ++i)
    ShowWindow(FPageWindows[i]->Window(), static_cast<int>(i) == Index ? SW_SHOW : SW_HIDE);
}

void TSettingsWindowWin32::StepTab(bool Back) {
  // Every (page, inner tab) pair in order.
  std::vector<std::pair<int, int>> stops;
  for (std::size_t i = 0; i < FPageWindows.size(); ++i) {
    HWND inner = FPageWindows[i]->InnerTabs();
    const int count = inner != nullptr ? TabCtrl_GetItemCount(inner) : 0;
    if (count == 0) stops.emplace_back(static_cast<int>(i), -1);
    for (int j = 0; j < count; ++j) stops.emplace_back(static_cast<int>(i), j);
  }
  const int page = TabCtrl_GetCurSel(FPages);
  HWND inner = page >= 0 ? FPageWindows[static_cast<std::size_t>(page)]->InnerTabs() : nullptr;
  const std::pair<int, int> now{page, inner != nullptr ? TabCtrl_GetCurSel(inner) : -1};
  const auto at = std::find(stops.begin(), stops.end(), now);
  const std::size_t current = at == stops.end() ? 0 : static_cast<std::size_t>(at - stops.begin());
  const std::size_t next = (current + (Back ? stops.size() - 1 : 1)) % stops.size();
  const auto [newPage, newInner] = stops[next];
  TabCtrl_SetCurSel(FPages, newPage);
  ShowTab(newPage);
  TPageWin32& target = *FPageWindows[static_cast<std::size_t>(newPage)];
  HWND strip = FPages;
  if (newInner >= 0) {
    TabCtrl_SetCurSel(target.InnerTabs(), newInner);
    target.ShowInner(newInner);
    strip = target.InnerTabs();
  }
  SendMessageW(FWindow, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(strip), TRUE);
}

void TSettingsWindowWin32::OpenMenu() {
  FCore->MenuOpening();
  const TUniqueMenu menu(BuildMenu(FCore->MenuItems(), kMenuBase));
  RECT button{};
  GetWindowRect(GetDlgItem(FWindow, kIdAdditional), &button);
  SetForegroundWindow(FWindow);
  TrackPopupMenuEx(menu.Get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, button.left, button.bottom, FWindow,
                   nullptr);
}

void TSettingsWindowWin32::HelpFor(HWND Control) {
  DWORD context = 0;
  for (HWND h = Control; h != nullptr && context == 0; h = h == FWindow ? nullptr : GetParent(h))
    context = GetWindowContextHelpId(h);
  RECT r{};
  GetWindowRect(Control, &r);
  const DWORD position =
      static_cast<DWORD>(static_cast<WORD>(r.left)) | (static_cast<DWORD>(static_cast<WORD>(r.top)) << 16);
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
  const bool control = GetKeyState(VK_CONTROL) < 0;
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  if (Msg.wParam == VK_F1) {
    HWND focus = GetFocus();
    HelpFor(focus != nullptr && IsInside(FWindow, focus) ? focus : Msg.hwnd);
    return true;
  }
  // Ctrl+Tab and Ctrl+Page Down go to the next tab, with Shift (or Page Up) back; in a
  // multi-line edit Ctrl+Tab types a tab, as in Windows dialogs (the edit itself would
  // take it for Tab and move on).
  if (control && Msg.wParam == VK_TAB && IsMultiLineEdit(Msg.hwnd)) {
    SendMessageW(Msg.hwnd, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"\t"));
    return true;
  }
  if (control && (Msg.wParam == VK_TAB || Msg.wParam == VK_NEXT || Msg.wParam == VK_PRIOR)) {
    StepTab(Msg.wParam == VK_PRIOR || (Msg.wParam == VK_TAB && shift));
    return true;
  }
  return false;
}

void TSettingsWindowWin32::DrawLogo(const DRAWITEMSTRUCT& Item) {
  FillRect(Item.hDC, &Item.rcItem, FWhite.Get());
  if (!FLogoBitmap) return;
  BITMAP info{};
  GetObjectW(FLogoBitmap.Get(), sizeof(info), &info);
  HDC source = CreateCompatibleDC(Item.hDC);
  HGDIOBJ old = SelectObject(source, FLogoBitmap.Get());
  SetStretchBltMode(Item.hDC, HALFTONE);
  StretchBlt(Item.hDC, Item.rcItem.left, Item.rcItem.top, Item.rcItem.right - Item.rcItem.left,
             Item.rcItem.bottom - Item.rcItem.top, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
  SelectObject(source, old);
  DeleteDC(source);
}

bool TSettingsWindowWin32::DialogMessage(HWND Dialog, UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
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
      // Neither button is bound to Enter or Escape: the dialog manager's IDOK and
      // IDCANCEL end here.
      return true;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(LParam);
      if (header->code == TCN_SELCHANGE && header->hwndFrom == FPages) ShowTab(TabCtrl_GetCurSel(FPages));
      return false;
    }
    case WM_CTLCOLORSTATIC: {
      const auto control = reinterpret_cast<HWND>(LParam);
      const int id = GetDlgCtrlID(control);
      if (GetParent(control) != Dialog || (id != kIdModelName && id != kIdVersion && id != kIdLogo)) return false;
      SetBkColor(reinterpret_cast<HDC>(WParam), RGB(255, 255, 255));
      SetTextColor(reinterpret_cast<HDC>(WParam), GetSysColor(COLOR_WINDOWTEXT));
      Result = reinterpret_cast<LRESULT>(FWhite.Get());
      return true;
    }
    case WM_ERASEBKGND: {
      RECT r{};
      GetClientRect(Dialog, &r);
      FillRect(reinterpret_cast<HDC>(WParam), &r, GetSysColorBrush(COLOR_BTNFACE));
      r.bottom = Scale(kHeaderHeight, FDpi);
      FillRect(reinterpret_cast<HDC>(WParam), &r, FWhite.Get());
      Result = 1;
      return true;
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(LParam);
      if (item->CtlID != static_cast<UINT>(kIdLogo)) return false;
      DrawLogo(*item);
      Result = TRUE;
      return true;
    }
    case WM_SETCURSOR:
      if (FWaiting > 0) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
      } else if (reinterpret_cast<HWND>(WParam) == GetDlgItem(Dialog, kIdLogo)) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
      } else {
        return false;
      }
      Result = TRUE;
      return true;
    case WM_HELP: {
      const auto* info = reinterpret_cast<const HELPINFO*>(LParam);
      HelpFor(info->iContextType == HELPINFO_WINDOW ? static_cast<HWND>(info->hItemHandle) : Dialog);
      Result = TRUE;
      return true;
    }
    case WM_DPICHANGED:
      ChangeDpi(HIWORD(WParam), reinterpret_cast<const RECT*>(LParam));
      return true;
    case WM_CLOSE:
      Finish(false);
      return true;
    default: return false;
  }
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
  return list.ShowModal(FWindow);
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
  const int margin = Scale(kPopupMargin, FDpi);
  THtmlHelpPopup record{};
  record.cbStruct = sizeof(record);
  record.idString = Popup.TopicID;
  record.pszText = Popup.TopicFile.empty() ? text.c_str() : nullptr;
  record.pt = POINT{Popup.Position.X, Popup.Position.Y};
  record.clrForeground = RGB(0, 0, 0);
  record.clrBackground = RGB(0xFF, 0xFF, 0xEE);
  record.rcMargins = RECT{margin, margin, margin, margin};
  HtmlHelpCall(FWindow, Wide(Popup.TopicFile), kHtmlHelpTextPopup, reinterpret_cast<DWORD_PTR>(&record));
}

bool TSettingsWindowWin32::RunConnectionCheck(TConnectionCheck& Check, std::string& Message) {
  TDeviceTestProgress progress(FWindow, Check);
  bool ok = false;
  std::string message;
  std::thread worker([&] {
    try {
      ok = Check.Run(message);
    } catch (...) {
      ok = false;
    }
    progress.Finished();
  });
  progress.Wait();
  worker.join();
  Message = message;
  return ok;
}

void TSettingsWindowWin32::SignIn(TfrmMainSettings& Page) {
  std::optional<TOAuthSignIn> signIn;
  try {
    signIn.emplace(Page.SignInSettings());
  } catch (const std::exception& e) {
    ShowError(e.what());
    return;
  }
  std::optional<std::string> token;
  std::string message;
  {
    TOAuthSignInDialog dialog(FWindow, *signIn);
    std::thread worker([&] {
      try {
        token = signIn->Run([&](const oauth::TDeviceAuthorizationStruct& Code) { dialog.CodeReady(Code); }, message);
      } catch (...) {
        token.reset();
      }
      dialog.Finished();
    });
    dialog.Wait();
    worker.join();
  }
  if (token)
    Page.SignedIn(*token);
  else if (!message.empty())
    ShowError(message);
}

void RegisterSettingsWindow(HINSTANCE Module, TDeviceConnectionTest ConnectionTest) {
  SetModule(Module);
  SetSettingsWindowFactory([test = std::move(ConnectionTest)](TBaseDevice& Device,
                                                             const std::vector<TSettingsPageClass>& PageClasses) {
    return std::unique_ptr<TSettingsWindow>(std::make_unique<TSettingsWindowWin32>(Device, PageClasses, test));
  });
}

void UnregisterSettingsWindow() { SetSettingsWindowFactory({}); }

}  // namespace eqd::settings_ui_win32
