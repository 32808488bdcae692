#include "settings_ui/win32/settings_list_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "settings_ui/settings_ui_texts.h"

namespace eqd::settings_ui_win32 {

namespace texts = settings_ui_texts;

namespace {
// The layout at 96 DPI.
constexpr int kClientWidth = 374;
constexpr int kClientHeight = 379;
constexpr int kStatusHeight = 55;
constexpr int kButtonStrip = 41;
constexpr int kMinWidth = 280;
constexpr int kMinHeight = 220;
constexpr int kColumnWidths[3] = {190, 90, 90};
// The editor's left edge from the value cell's.
constexpr int kEditorIndent = 3;
}  // namespace

TSettingsListWindow::TSettingsListWindow(TBaseDevice& Device) : FCore(Device, *this) {}

TSettingsListWindow::~TSettingsListWindow() {
  FTips.reset();
  if (FWindow != nullptr) DestroyWindow(FWindow);
}

bool TSettingsListWindow::ShowModal(HWND Owner) {
  FWindow = CreateDialogFor(*this, EQ_IDD_SETTINGS_LIST, Owner);
  if (FWindow == nullptr) throw std::runtime_error("the settings list cannot be shown");
  TakeOverDpiChanges(FWindow);
  FDpi = LayoutDpi(FWindow);
  FFonts = std::make_unique<TDialogFonts>(FWindow, FDpi);
  SetText(FWindow, texts::kListCaption);
  HICON icon = LoadIconW(ModuleInstance(), MAKEINTRESOURCEW(EQ_IDI_LIST));
  if (icon != nullptr) SendMessageW(FWindow, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  SetUpControls();
  const int dpi = WindowDpi(FWindow, FDpi);
  if (dpi != FDpi) ChangeDpi(dpi, nullptr);
  RECT outer{0, 0, Scale(kClientWidth, FDpi), Scale(kClientHeight, FDpi)};
  AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(FWindow, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(FWindow, GWL_EXSTYLE)));
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  SetWindowPos(FWindow, nullptr, work.left + std::max<int>(0, (work.right - work.left - width) / 2),
               work.top + std::max<int>(0, (work.bottom - work.top - height) / 2), width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  Layout();

  const bool ownerWasEnabled = Owner != nullptr && IsWindowEnabled(Owner);
  if (ownerWasEnabled) EnableWindow(Owner, FALSE);
  ShowWindow(FWindow, SW_SHOW);
  SetForegroundWindow(FWindow);
  // The first row selected, so that the keyboard can start at once.
  if (FCore.RowCount() > 0) {
    ListView_SetItemState(FList, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  }
  SendMessageW(FWindow, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(FList), TRUE);
  RunModalLoop(FWindow, FDone, [this](MSG& msg) { return PreTranslate(msg); });
  // The owner takes input again before this window goes, so the system activates it.
  if (ownerWasEnabled) EnableWindow(Owner, TRUE);
  FTips.reset();
  DestroyWindow(FWindow);
  FWindow = nullptr;
  return FOkResult;
}

void TSettingsListWindow::SetUpControls() {
  FList = GetDlgItem(FWindow, kIdList);
  FEdit = GetDlgItem(FWindow, kIdEdit);
  FCombo = GetDlgItem(FWindow, kIdCombo);
  ListView_SetExtendedListViewStyle(FList, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
  const char* headers[3] = {texts::kListColumnName, texts::kListColumnValue, texts::kListColumnDefault};
  for (int i = 0; i < 3; ++i) {
    std::wstring header = Wide(headers[i]);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = header.data();
    column.cx = Scale(kColumnWidths[i], FDpi);
    column.iSubItem = i;
    SendMessageW(FList, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
  }
  ListView_SetItemCountEx(FList, FCore.RowCount(), 0);
  SetWindowTextW(GetDlgItem(FWindow, kIdDefault), WithAccessKey(texts::kListDefaultButton, texts::kListDefaultKey).c_str());
  SetWindowTextW(GetDlgItem(FWindow, kIdOk), WithAccessKey(texts::kOkButton, texts::kOkKey).c_str());
  SetWindowTextW(GetDlgItem(FWindow, kIdCancel), WithAccessKey(texts::kCancelButton, texts::kCancelKey).c_str());
  for (const char* item : {texts::kFalse, texts::kTrue})
    SendMessageW(FCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
  FTips = std::make_unique<TTooltips>(FWindow);
  FTips->SetDpi(FDpi, FFonts->Normal());
  FTips->Add(GetDlgItem(FWindow, kIdDefault), texts::kListDefaultHint);
  FTips->Add(GetDlgItem(FWindow, kIdOk), texts::kOkHint);
  FTips->Add(GetDlgItem(FWindow, kIdCancel), texts::kCancelHint);
}

void TSettingsListWindow::Layout() {
  const TDialogUnits du(FWindow, FFonts->Normal());
  RECT client{};
  GetClientRect(FWindow, &client);
  const int w = client.right;
  const int h = client.bottom;
  const int status = Scale(kStatusHeight, FDpi);
  const int strip = Scale(kButtonStrip, FDpi);
  const int listHeight = std::max(h - status - strip, 0);
  MoveWindow(FList, 0, 0, w, listHeight, TRUE);
  // The design's column widths, each at least as wide as its header; where a header
  // needs more than its column (a wide font), the name column gives the room up.
  int widths[3] = {};
  int total = 0;
  int nameLeast = 0;
  for (int i = 0; i < 3; ++i) {
    wchar_t header[64] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = header;
    column.cchTextMax = 64;
    SendMessageW(FList, LVM_GETCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    const int least = TextWidth(FList, FFonts->Normal(), header) + du.X(8);
    widths[i] = std::max(Scale(kColumnWidths[i], FDpi), least);
    total += widths[i];
    if (i == 0) nameLeast = least;
  }
  const int designTotal = Scale(kColumnWidths[0] + kColumnWidths[1] + kColumnWidths[2], FDpi);
  if (total > designTotal) widths[0] = std::max(nameLeast, widths[0] - (total - designTotal));
  for (int i = 0; i < 3; ++i) ListView_SetColumnWidth(FList, i, widths[i]);
  // The status text inside its sunken frame, with a margin.
  MoveWindow(GetDlgItem(FWindow, EQ_IDC_STATUS_FRAME), 0, listHeight, w, status, TRUE);
  MoveWindow(GetDlgItem(FWindow, kIdStatus), du.X(4), listHeight + du.Y(3), w - 2 * du.X(4), status - 2 * du.Y(3),
             TRUE);
  const auto width = [&](int id, int least) {
    return std::max(du.X(least), TextWidth(FWindow, FFonts->Normal(), WindowText(GetDlgItem(FWindow, id))) + du.X(12));
  };
  const int buttonHeight = du.Y(14);
  const int y = h - strip + (strip - buttonHeight) / 2;
  const int cancelWidth = width(kIdCancel, 50);
  const int okWidth = width(kIdOk, 50);
  MoveWindow(GetDlgItem(FWindow, kIdDefault), du.X(5), y, width(kIdDefault, 60), buttonHeight, TRUE);
  MoveWindow(GetDlgItem(FWindow, kIdCancel), w - du.X(5) - cancelWidth, y, cancelWidth, buttonHeight, TRUE);
  MoveWindow(GetDlgItem(FWindow, kIdOk), w - du.X(5) - cancelWidth - du.X(4) - okWidth, y, okWidth, buttonHeight,
             TRUE);
}

void TSettingsListWindow::ChangeDpi(int Dpi, const RECT* Suggested) {
  FCore.EndEdit(false);
  FDpi = Dpi;
  const std::unique_ptr<TDialogFonts> old = std::exchange(FFonts, std::make_unique<TDialogFonts>(FWindow, Dpi));
  SetFontDeep(FWindow, FFonts->Normal());
  if (FTips) FTips->SetDpi(Dpi, FFonts->Normal());
  if (Suggested != nullptr)
    SetWindowPos(FWindow, nullptr, Suggested->left, Suggested->top, Suggested->right - Suggested->left,
                 Suggested->bottom - Suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  Layout();
}

// Enter and Escape belong to the table and its editors here; a focused button takes
// Enter through the dialog manager; neither button answers Escape.
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
  return false;
}

void TSettingsListWindow::Close(bool Ok) {
  FCore.EndEdit(false);
  FOkResult = Ok;
  FDone = true;
}

void TSettingsListWindow::OnNotify(NMHDR& Header) {
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
      const bool selected = (change.uNewState & LVIS_SELECTED) != 0;
      const bool wasSelected = (change.uOldState & LVIS_SELECTED) != 0;
      if (selected && !wasSelected)
        FCore.SelectionChanged(change.iItem);
      else if (!selected && wasSelected)
        FCore.SelectionCleared(change.iItem);  // -1: every row, as after a click on empty space
      else
        FCore.SelectionChanged(-1);
      break;
    }
    case NM_DBLCLK: FCore.BeginEdit(); break;
    default: break;
  }
}

void TSettingsListWindow::ShowContextMenu(int X, int Y) {
  const TUniqueMenu menu(CreatePopupMenu());
  // Both items act on the selected row: without one they are greyed.
  const UINT state = FCore.Selected() >= 0 ? MF_ENABLED : MF_GRAYED;
  AppendMenuW(menu.Get(), MF_STRING | state, kIdMenuEdit,
              WithAccessKey(texts::kListMenuEdit, texts::kListMenuEditKey).c_str());
  AppendMenuW(menu.Get(), MF_STRING | state, kIdMenuDefault,
              WithAccessKey(texts::kListMenuDefault, texts::kListMenuDefaultKey).c_str());
  if (X == -1 && Y == -1) {  // from the keyboard: at the selected row
    RECT row{};
    const int selected = ListView_GetNextItem(FList, -1, LVNI_SELECTED);
    if (selected >= 0) ListView_GetItemRect(FList, selected, &row, LVIR_BOUNDS);
    POINT p{row.left, row.bottom};
    ClientToScreen(FList, &p);
    X = p.x;
    Y = p.y;
  }
  TrackPopupMenuEx(menu.Get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, X, Y, FWindow, nullptr);
}

bool TSettingsListWindow::DialogMessage(HWND, UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
  switch (Msg) {
    case WM_SIZE:
      if (FList != nullptr) Layout();
      return true;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(LParam);
      info->ptMinTrackSize = {Scale(kMinWidth, FDpi), Scale(kMinHeight, FDpi)};
      return true;
    }
    case WM_NOTIFY:
      OnNotify(*reinterpret_cast<NMHDR*>(LParam));
      return false;
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(WParam) != FList) return false;
      ShowContextMenu(GET_X_LPARAM(LParam), GET_Y_LPARAM(LParam));
      return true;
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
          default: break;  // the dialog manager's IDOK and IDCANCEL: no button is bound to them
        }
      }
      return true;
    }
    case WM_DPICHANGED:
      ChangeDpi(HIWORD(WParam), reinterpret_cast<const RECT*>(LParam));
      return true;
    case WM_CLOSE:
      Close(false);
      return true;
    default: (void)Result; return false;
  }
}

void TSettingsListWindow::RefreshRow(std::int32_t Row) { ListView_RedrawItems(FList, Row, Row); }

void TSettingsListWindow::RefreshAll() { InvalidateRect(FList, nullptr, TRUE); }

void TSettingsListWindow::ShowEditor(TListEditor Editor, std::int32_t Row, const std::string& Text, bool Checked) {
  RECT row{};
  ListView_GetItemRect(FList, Row, &row, LVIR_BOUNDS);
  MapWindowPoints(FList, FWindow, reinterpret_cast<POINT*>(&row), 2);
  const int left = row.left + ListView_GetColumnWidth(FList, 0) + Scale(kEditorIndent, FDpi);
  const int width = ListView_GetColumnWidth(FList, 1);
  const int height = row.bottom - row.top;
  HWND editor = Editor == leBoolean ? FCombo : FEdit;
  if (Editor == leBoolean) {
    SendMessageW(FCombo, CB_SETCURSEL, Checked ? 1 : 0, 0);
    // The closed drop-down as high as the row: its selection field takes the rest after
    // the frame.
    RECT field{};
    GetWindowRect(FCombo, &field);
    const LRESULT item = SendMessageW(FCombo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    const int frame = (field.bottom - field.top) - static_cast<int>(item);
    if (height - frame > 0) SendMessageW(FCombo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), height - frame);
    MoveWindow(FCombo, left, row.top, width, height + Scale(80, FDpi), TRUE);
  } else {
    SetText(FEdit, Text);
    MoveWindow(FEdit, left, row.top, width, height + 1, TRUE);
    SendMessageW(FEdit, EM_SETSEL, 0, -1);
  }
  SetWindowPos(editor, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  SendMessageW(FWindow, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(editor), TRUE);
}

void TSettingsListWindow::HideEditor(TListEditor Editor) {
  ShowWindow(Editor == leBoolean ? FCombo : FEdit, SW_HIDE);
  SendMessageW(FWindow, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(FList), TRUE);
}

std::string TSettingsListWindow::EditorText() { return Utf8(WindowText(FEdit)); }

bool TSettingsListWindow::EditorChecked() { return SendMessageW(FCombo, CB_GETCURSEL, 0, 0) == 1; }

void TSettingsListWindow::SetStatus(const std::string& Text) { SetText(GetDlgItem(FWindow, kIdStatus), Text); }

}  // namespace eqd::settings_ui_win32
