#include "settings_ui/win32/settings_list_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "settings_ui/settings_ui_texts.h"
#include "settings_ui/win32/resources.h"

namespace eqd::settings_ui_win32 {

namespace texts = settings_ui_texts;

namespace {
// The layout at 96 DPI.
constexpr int kClientWidth = 374;
constexpr int kClientHeight = 379;
constexpr int kStatusHeight = 55;
constexpr int kButtonStrip = 41;
constexpr int kButtonHeight = 25;
constexpr int kButtonWidth = 75;
constexpr int kDefaultWidth = 100;
constexpr int kMargin = 8;
// The name column leaves room for the default column's header at its own width.
constexpr int kColumnWidths[3] = {175, 90, 90};
}  // namespace

TSettingsListWindow::TSettingsListWindow(TBaseDevice& Device) : FCore(Device, *this) {}

TSettingsListWindow::~TSettingsListWindow() {
  FTips.reset();
  if (FWindow != nullptr) DestroyWindow(FWindow);
}

bool TSettingsListWindow::ShowModal(HWND Owner) {
  FWindow = CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME, kFrameClass, Wide(texts::kListCaption).c_str(),
                            WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN, CW_USEDEFAULT,
                            CW_USEDEFAULT, 100, 100, Owner, nullptr, ModuleInstance(),
                            static_cast<TMessageHandler*>(this));
  if (FWindow == nullptr) return false;
  HICON icon = LoadIconW(ModuleInstance(), MAKEINTRESOURCEW(EQ_IDI_LIST));
  if (icon != nullptr) SendMessageW(FWindow, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  FScale = std::make_unique<TScale>(FWindow);
  FFonts = std::make_unique<TFonts>(*FScale);
  const TScale& s = *FScale;
  RECT outer{0, 0, s(kClientWidth), s(kClientHeight)};
  AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(FWindow, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(FWindow, GWL_EXSTYLE)));
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  SetWindowPos(FWindow, nullptr, work.left + (work.right - work.left - width) / 2,
               work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  CreateControls();
  Layout();

  const bool ownerWasEnabled = Owner != nullptr && IsWindowEnabled(Owner);
  if (ownerWasEnabled) EnableWindow(Owner, FALSE);
  ShowWindow(FWindow, SW_SHOW);
  SetForegroundWindow(FWindow);
  SetFocus(FList);
  RunModalLoop(FWindow, FDone, [this](MSG& msg) { return PreTranslate(msg); });
  if (ownerWasEnabled) EnableWindow(Owner, TRUE);
  FTips.reset();
  DestroyWindow(FWindow);
  FWindow = nullptr;
  if (Owner != nullptr) SetForegroundWindow(Owner);
  return FOkResult;
}

void TSettingsListWindow::CreateControls() {
  const HFONT font = FFonts->Normal();
  FList = CreateChild(FWindow, WC_LISTVIEWW, "",
                      WS_TABSTOP | WS_BORDER | WS_CLIPSIBLINGS | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                          LVS_NOSORTHEADER,
                      0, RECT{}, kIdList, font);
  ListView_SetExtendedListViewStyle(FList, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  const char* headers[3] = {texts::kListColumnName, texts::kListColumnValue, texts::kListColumnDefault};
  for (int i = 0; i < 3; ++i) {
    std::wstring header = Wide(headers[i]);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = header.data();
    column.cx = (*FScale)(kColumnWidths[i]);
    column.iSubItem = i;
    SendMessageW(FList, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
  }
  ListView_SetItemCountEx(FList, FCore.RowCount(), 0);
  FStatus = CreateChild(FWindow, L"STATIC", "", SS_LEFT | SS_SUNKEN | SS_NOPREFIX, 0, RECT{}, kIdStatus, font);
  FDefault = CreateChild(FWindow, L"BUTTON", texts::kListDefaultButton, WS_TABSTOP | BS_PUSHBUTTON, 0, RECT{},
                         kIdDefault, font);
  FOk = CreateChild(FWindow, L"BUTTON", texts::kOkButton, WS_TABSTOP | BS_PUSHBUTTON, 0, RECT{}, kIdOk, font);
  FCancel =
      CreateChild(FWindow, L"BUTTON", texts::kCancelButton, WS_TABSTOP | BS_PUSHBUTTON, 0, RECT{}, kIdCancel, font);
  FEdit = CreateChild(FWindow, L"EDIT", "", ES_AUTOHSCROLL | WS_BORDER, 0, RECT{}, kIdEdit, font);
  FCombo = CreateChild(FWindow, L"COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL, 0, RECT{}, kIdCombo, font);
  for (const char* item : {texts::kFalse, texts::kTrue})
    SendMessageW(FCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
  ShowWindow(FEdit, SW_HIDE);
  ShowWindow(FCombo, SW_HIDE);
  FTips = std::make_unique<TTooltips>(FWindow);
  FTips->Add(FDefault, texts::kListDefaultHint);
  FTips->Add(FOk, texts::kOkHint);
  FTips->Add(FCancel, texts::kCancelHint);
}

void TSettingsListWindow::Layout() {
  const TScale& s = *FScale;
  RECT client{};
  GetClientRect(FWindow, &client);
  const int w = client.right;
  const int h = client.bottom;
  const int listHeight = h - s(kStatusHeight) - s(kButtonStrip);
  MoveWindow(FList, 0, 0, w, listHeight > 0 ? listHeight : 0, TRUE);
  // The default column takes the rest of the width, at least its header's.
  ListView_SetColumnWidth(FList, 2, LVSCW_AUTOSIZE_USEHEADER);
  MoveWindow(FStatus, 0, listHeight, w, s(kStatusHeight), TRUE);
  const int y = h - s(kButtonStrip) + (s(kButtonStrip) - s(kButtonHeight)) / 2;
  MoveWindow(FDefault, s(kMargin), y, s(kDefaultWidth), s(kButtonHeight), TRUE);
  MoveWindow(FCancel, w - s(kMargin) - s(kButtonWidth), y, s(kButtonWidth), s(kButtonHeight), TRUE);
  MoveWindow(FOk, w - s(kMargin) - 2 * s(kButtonWidth) - s(6), y, s(kButtonWidth), s(kButtonHeight), TRUE);
}

// Enter and Escape belong to the table and its editors here, never to the buttons.
bool TSettingsListWindow::PreTranslate(MSG& Msg) {
  if (Msg.message != WM_KEYDOWN) return false;
  const bool inEditor = Msg.hwnd == FEdit || Msg.hwnd == FCombo || GetParent(Msg.hwnd) == FCombo;
  if (inEditor && Msg.wParam == VK_RETURN) {
    FCore.EndEdit(false);
    return true;
  }
  if (inEditor && Msg.wParam == VK_ESCAPE) {
    FCore.EndEdit(true);
    return true;
  }
  if (Msg.hwnd == FList && (Msg.wParam == VK_RETURN || Msg.wParam == VK_F2)) {
    FCore.BeginEdit();
    return true;
  }
  if (Msg.hwnd == FList && Msg.wParam == VK_ESCAPE) {
    FCore.EndEdit(false);
    return true;
  }
  if (Msg.wParam == VK_RETURN || Msg.wParam == VK_ESCAPE) return true;  // no default buttons
  return false;
}

void TSettingsListWindow::Close(bool Ok) {
  FCore.EndEdit(false);
  FOkResult = Ok;
  FDone = true;
}

void TSettingsListWindow::OnNotify(NMHDR& Header, LRESULT& Result) {
  if (Header.hwndFrom != FList) return;
  switch (Header.code) {
    case LVN_GETDISPINFOW: {
      auto& info = reinterpret_cast<NMLVDISPINFOW&>(Header);
      if ((info.item.mask & LVIF_TEXT) != 0 && info.item.iSubItem >= 0 && info.item.iSubItem < 3) {
        FCell = Wide(FCore.RowTexts(info.item.iItem)[static_cast<std::size_t>(info.item.iSubItem)]);
        // A cell is one line: line breaks show as blanks.
        std::replace_if(FCell.begin(), FCell.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }, L' ');
        lstrcpynW(info.item.pszText, FCell.c_str(), info.item.cchTextMax);
      }
      break;
    }
    case LVN_ITEMCHANGED: {
      const auto& change = reinterpret_cast<NMLISTVIEW&>(Header);
      if ((change.uNewState & LVIS_SELECTED) != 0 && (change.uOldState & LVIS_SELECTED) == 0)
        FCore.SelectionChanged(change.iItem);
      else
        FCore.SelectionChanged(-1);
      break;
    }
    case NM_DBLCLK: FCore.BeginEdit(); break;
    case LVN_KEYDOWN:
      if (reinterpret_cast<NMLVKEYDOWN&>(Header).wVKey == VK_F2) FCore.BeginEdit();
      break;
    default: break;
  }
  (void)Result;
}

void TSettingsListWindow::ShowContextMenu(int X, int Y) {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, kIdMenuEdit, Wide(texts::kListMenuEdit).c_str());
  AppendMenuW(menu, MF_STRING, kIdMenuDefault, Wide(texts::kListMenuDefault).c_str());
  if (X == -1 && Y == -1) {  // from the keyboard: at the selected row
    RECT row{};
    const int selected = ListView_GetNextItem(FList, -1, LVNI_SELECTED);
    if (selected >= 0) ListView_GetItemRect(FList, selected, &row, LVIR_BOUNDS);
    POINT p{row.left, row.bottom};
    ClientToScreen(FList, &p);
    X = p.x;
    Y = p.y;
  }
  TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, X, Y, FWindow, nullptr);
  DestroyMenu(menu);
}

LRESULT TSettingsListWindow::HandleMessage(HWND Window, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (Window != FWindow) return DefWindowProcW(Window, Msg, WParam, LParam);
  switch (Msg) {
    case WM_SIZE:
      if (FList != nullptr) Layout();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(LParam);
      info->ptMinTrackSize = {FScale ? (*FScale)(280) : 280, FScale ? (*FScale)(220) : 220};
      return 0;
    }
    case WM_NOTIFY: {
      LRESULT result = 0;
      OnNotify(*reinterpret_cast<NMHDR*>(LParam), result);
      return result;
    }
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(WParam) == FList) {
        ShowContextMenu(GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam));
        return 0;
      }
      break;
    case WM_COMMAND: {
      const int id = LOWORD(WParam);
      const int code = HIWORD(WParam);
      if (id == kIdEdit && code == EN_KILLFOCUS) FCore.EndEdit(false);
      if (id == kIdCombo && code == CBN_KILLFOCUS) FCore.EndEdit(false);
      if (code == BN_CLICKED || LParam == 0) {
        switch (id) {
          case kIdDefault: FCore.AllDefault(); break;
          case kIdOk: Close(true); break;
          case kIdCancel: Close(false); break;
          case kIdMenuEdit: FCore.BeginEdit(); break;
          case kIdMenuDefault: FCore.RowDefault(); break;
          default: break;
        }
      }
      return 0;
    }
    case WM_CLOSE: Close(false); return 0;
    default: break;
  }
  return DefWindowProcW(Window, Msg, WParam, LParam);
}

void TSettingsListWindow::RefreshRow(std::int32_t Row) { ListView_RedrawItems(FList, Row, Row); }

void TSettingsListWindow::RefreshAll() { InvalidateRect(FList, nullptr, TRUE); }

void TSettingsListWindow::ShowEditor(TListEditor Editor, std::int32_t Row, const std::string& Text, bool Checked) {
  RECT row{};
  ListView_GetItemRect(FList, Row, &row, LVIR_BOUNDS);
  MapWindowPoints(FList, FWindow, reinterpret_cast<POINT*>(&row), 2);
  const int left = row.left + ListView_GetColumnWidth(FList, 0) + 3;
  const int width = ListView_GetColumnWidth(FList, 1);
  HWND editor = Editor == leBoolean ? FCombo : FEdit;
  if (Editor == leBoolean) {
    SendMessageW(FCombo, CB_SETCURSEL, Checked ? 1 : 0, 0);
    MoveWindow(FCombo, left, row.top, width, (*FScale)(80), TRUE);
  } else {
    SetWindowTextW(FEdit, Wide(Text).c_str());
    MoveWindow(FEdit, left, row.top, width, row.bottom - row.top + 3, TRUE);
    SendMessageW(FEdit, EM_SETSEL, 0, -1);
  }
  SetWindowPos(editor, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  SetFocus(editor);
}

void TSettingsListWindow::HideEditor(TListEditor Editor) {
  ShowWindow(Editor == leBoolean ? FCombo : FEdit, SW_HIDE);
  SetFocus(FList);
}

std::string TSettingsListWindow::EditorText() { return Utf8(WindowText(FEdit)); }

bool TSettingsListWindow::EditorChecked() { return SendMessageW(FCombo, CB_GETCURSEL, 0, 0) == 1; }

void TSettingsListWindow::SetStatus(const std::string& Text) { SetWindowTextW(FStatus, Wide(Text).c_str()); }

}  // namespace eqd::settings_ui_win32
