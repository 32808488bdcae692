#include "settings_ui/win32/settings_pages_win32.h"

#include <commctrl.h>

#include <algorithm>

#include "settings_ui/settings_ui_texts.h"
#include "settings_ui/win32/resources.h"

namespace eqd::settings_ui_win32 {

namespace texts = settings_ui_texts;

namespace {

// The SMTP page's inner tabs, in order: caption and template.
struct TInnerTabInfo {
  const char* Caption;
  int Template;
};
constexpr TInnerTabInfo kInnerTabs[] = {
    {texts::kSmtpTab, EQ_IDD_TAB_SMTP},
    {texts::kGeneralTab, EQ_IDD_TAB_GENERAL},
    {texts::kSecurityTab, EQ_IDD_TAB_SECURITY},
};
constexpr std::size_t kSecurityTabIndex = 2;

void FillComboBox(HWND box, const std::vector<std::string>& items, std::size_t selected) {
  SendMessageW(box, CB_RESETCONTENT, 0, 0);
  for (const std::string& item : items)
    SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
  SendMessageW(box, CB_SETCURSEL, selected, 0);
}

SIZE WindowSize(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

void InsertTab(HWND tabs, int index, const std::string& caption) {
  std::wstring text = Wide(caption);
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = text.data();
  SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

// A child dialog of a page. The page's controls move Tab on through the frame: a
// multi-line edit asks its parent for the next control, and only the top-level dialog
// knows the whole order. It never closes (a multi-line edit asks its parent on Escape).
bool ChildDialogMessage(HWND frame, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (msg) {
    case WM_NEXTDLGCTL:
      result = SendMessageW(frame, WM_NEXTDLGCTL, wParam, lParam);
      return true;
    case WM_CLOSE:
    case WM_COMMAND:
      if (msg == WM_CLOSE || LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) return true;
      return false;
    default: return false;
  }
}

}  // namespace

bool TPageWin32::DialogMessage(HWND, UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
  return ChildDialogMessage(FFrame, Msg, WParam, LParam, Result);
}

bool TMainPageWin32::TInnerTab::DialogMessage(HWND, UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
  if (Msg == WM_COMMAND && LOWORD(WParam) == EQ_IDC_SEC_SERVICE && HIWORD(WParam) == CBN_SELCHANGE &&
      Page != nullptr && Page->FMailServiceChosen) {
    const LRESULT index = SendMessageW(reinterpret_cast<HWND>(LParam), CB_GETCURSEL, 0, 0);
    if (index >= 0) Page->FMailServiceChosen(static_cast<std::size_t>(index));
    return true;
  }
  if (Msg == WM_COMMAND && (LOWORD(WParam) == EQ_IDC_SEC_AUTH || LOWORD(WParam) == EQ_IDC_SEC_FLOW) &&
      HIWORD(WParam) == CBN_SELCHANGE && Page != nullptr && Page->FSecurityChoiceChanged) {
    Page->FSecurityChoiceChanged();
    return true;
  }
  if (Msg == WM_COMMAND && LOWORD(WParam) == EQ_IDC_SEC_SIGN_IN && HIWORD(WParam) == BN_CLICKED && Page != nullptr &&
      Page->FSignIn) {
    Page->FSignIn();
    return true;
  }
  return ChildDialogMessage(Frame, Msg, WParam, LParam, Result);
}

TMainPageWin32::TMainPageWin32(HWND Frame, TTooltips& Tips) {
  FFrame = Frame;
  FWindow = CreateDialogFor(*this, EQ_IDD_PAGE_MAIN, Frame);
  if (FWindow == nullptr) throw std::runtime_error("the SMTP page cannot be created");
  TakeOverDpiChanges(FWindow);
  UseTabBackground(FWindow);
  FTabs = GetDlgItem(FWindow, EQ_IDC_INNER_TABS);
  FInner.resize(std::size(kInnerTabs));
  for (std::size_t i = 0; i < std::size(kInnerTabs); ++i) {
    InsertTab(FTabs, static_cast<int>(i), kInnerTabs[i].Caption);
    FInner[i].Frame = Frame;
    FInner[i].Page = this;
    FInner[i].Window = CreateDialogFor(FInner[i], kInnerTabs[i].Template, FWindow);
    if (FInner[i].Window == nullptr) throw std::runtime_error("a tab of the SMTP page cannot be created");
    TakeOverDpiChanges(FInner[i].Window);
    UseTabBackground(FInner[i].Window);
    // The tab strip comes before its tabs in the Tab order.
    SetWindowPos(FInner[i].Window, i == 0 ? FTabs : FInner[i - 1].Window, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  for (std::size_t i = 0; i < mfCount; ++i) {
    const TMainSettingsFieldInfo& field = MainSettingsFields()[i];
    HWND tab = FInner[static_cast<std::size_t>(field.Tab)].Window;
    SetWindowTextW(GetDlgItem(tab, EQ_IDC_FIRST_LABEL + static_cast<int>(i)),
                   WithAccessKey(field.Label, field.AccessKey).c_str());
    FFields[i] = GetDlgItem(tab, EQ_IDC_FIRST_FIELD + static_cast<int>(i));
    if (field.Hint != nullptr) Tips.Add(FFields[i], field.Hint);
  }
  SendMessageW(FFields[mfUserEmail], EM_SETCUEBANNER, FALSE,
               reinterpret_cast<LPARAM>(Wide(texts::kEmailPlaceholder).c_str()));
  MakeSecurityTab(Tips);
  TabCtrl_SetCurSel(FTabs, 0);
  ShowInner(0);
}

void TMainPageWin32::MakeSecurityTab(TTooltips& Tips) {
  FSecurityTab = FInner[kSecurityTabIndex].Window;
  struct TLabel {
    int Id;
    const char* Text;
    const char* Key;
  } labels[] = {
      {EQ_IDC_SEC_SERVICE_LABEL, texts::kLabelMailService, texts::kMailServiceKey},
      {EQ_IDC_SEC_SECURITY_LABEL, texts::kLabelSecurity, texts::kSecurityKey},
      {EQ_IDC_SEC_AUTH_LABEL, texts::kLabelAuthMethod, texts::kAuthMethodKey},
      {EQ_IDC_SEC_VERIFY, texts::kVerifyCertificate, texts::kVerifyCertificateKey},
      {EQ_IDC_SEC_PIN_LABEL, texts::kLabelPin, texts::kPinKey},
      {EQ_IDC_SEC_FLOW_LABEL, texts::kLabelOAuthFlow, texts::kOAuthFlowKey},
      {EQ_IDC_SEC_SIGN_IN, texts::kSignInButton, texts::kSignInKey},
  };
  for (const TLabel& label : labels)
    SetWindowTextW(GetDlgItem(FSecurityTab, label.Id), WithAccessKey(label.Text, label.Key).c_str());
  const std::pair<int, const char*> hints[] = {
      {EQ_IDC_SEC_SERVICE, texts::kMailServiceHint}, {EQ_IDC_SEC_SECURITY, texts::kSecurityHint},
      {EQ_IDC_SEC_AUTH, texts::kAuthMethodHint},     {EQ_IDC_SEC_VERIFY, texts::kVerifyCertificateHint},
      {EQ_IDC_SEC_PIN, texts::kPinHint},         {EQ_IDC_SEC_FLOW, texts::kOAuthFlowHint},
      {EQ_IDC_SEC_SIGN_IN, texts::kSignInHint},
  };
  for (const auto& [id, hint] : hints) Tips.Add(GetDlgItem(FSecurityTab, id), hint);
  for (std::size_t f = 0; f < oaCount; ++f) {
    const TOAuthFieldInfo& field = OAuthFields()[f];
    const int i = static_cast<int>(f);
    SetWindowTextW(GetDlgItem(FSecurityTab, EQ_IDC_SEC_OAUTH_LABEL + i), WithAccessKey(field.Label, field.AccessKey).c_str());
    Tips.Add(GetDlgItem(FSecurityTab, EQ_IDC_SEC_OAUTH + i), field.Hint);
  }
  FillComboBox(GetDlgItem(FSecurityTab, EQ_IDC_SEC_SERVICE), MailServiceItems(), 0);
}

HWND TMainPageWin32::SecurityControl(int Id) const { return GetDlgItem(FSecurityTab, Id); }

HWND TMainPageWin32::ChoiceBox(TSecurityChoice Choice) const {
  switch (Choice) {
    case scSecurity: return SecurityControl(EQ_IDC_SEC_SECURITY);
    case scAuthMethod: return SecurityControl(EQ_IDC_SEC_AUTH);
    default: return SecurityControl(EQ_IDC_SEC_FLOW);
  }
}

void TMainPageWin32::SetChoices(TSecurityChoice Choice, const std::vector<std::string>& Items, std::size_t Selected) {
  FillComboBox(ChoiceBox(Choice), Items, Selected);
}

std::size_t TMainPageWin32::SelectedChoice(TSecurityChoice Choice) {
  const LRESULT index = SendMessageW(ChoiceBox(Choice), CB_GETCURSEL, 0, 0);
  return index < 0 ? static_cast<std::size_t>(-1) : static_cast<std::size_t>(index);
}

bool TMainPageWin32::VerifyChecked() {
  return SendMessageW(SecurityControl(EQ_IDC_SEC_VERIFY), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TMainPageWin32::SetVerifyChecked(bool Checked) {
  SendMessageW(SecurityControl(EQ_IDC_SEC_VERIFY), BM_SETCHECK, Checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::string TMainPageWin32::PinText() { return Utf8(WindowText(SecurityControl(EQ_IDC_SEC_PIN))); }

void TMainPageWin32::SetPinText(const std::string& Text) { SetText(SecurityControl(EQ_IDC_SEC_PIN), Text); }

void TMainPageWin32::SetServiceNote(const std::string& Text) { SetText(SecurityControl(EQ_IDC_SEC_NOTE), Text); }

std::string TMainPageWin32::OAuthText(TOAuthField Field) {
  return Utf8(WindowText(SecurityControl(EQ_IDC_SEC_OAUTH + static_cast<int>(Field))));
}

void TMainPageWin32::SetOAuthText(TOAuthField Field, const std::string& Text) {
  SetText(SecurityControl(EQ_IDC_SEC_OAUTH + static_cast<int>(Field)), Text);
}

void TMainPageWin32::ShowOAuthRows(const TOAuthRowsStruct& Rows) {
  FOAuthRows = Rows;
  LayoutOAuthRows();
}

void TMainPageWin32::LayoutOAuthRows() {
  // The rows' places in the template's dialog units: the first under the pin, then one
  // every kPitch; labels a little lower than their fields, as above them.
  constexpr int kFirstRow = 114;
  constexpr int kPitch = 15;
  const auto font = reinterpret_cast<HFONT>(SendMessageW(SecurityControl(EQ_IDC_SEC_PIN), WM_GETFONT, 0, 0));
  const TDialogUnits du(FSecurityTab, font);
  int row = 0;
  const auto place = [&](int id, bool shown, int x, int dy, int width, int height) {
    HWND control = SecurityControl(id);
    if (shown)
      SetWindowPos(control, nullptr, du.X(x), du.Y(kFirstRow + row * kPitch + dy), du.X(width), du.Y(height),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
  };
  place(EQ_IDC_SEC_FLOW_LABEL, FOAuthRows.Flow, 7, 2, 80, 9);
  place(EQ_IDC_SEC_FLOW, FOAuthRows.Flow, 90, 0, 147, 80);
  if (FOAuthRows.Flow) ++row;
  for (std::size_t f = 0; f < oaCount; ++f) {
    const bool shown = FOAuthRows.Fields[f];
    const bool withButton = f == oaRefreshToken && FOAuthRows.SignIn;
    const int i = static_cast<int>(f);
    place(EQ_IDC_SEC_OAUTH_LABEL + i, shown, 7, 2, 80, 9);
    place(EQ_IDC_SEC_OAUTH + i, shown, 90, 0, withButton ? 95 : 147, 12);
    if (f == oaRefreshToken) place(EQ_IDC_SEC_SIGN_IN, shown && withButton, 189, -1, 48, 14);
    if (shown) ++row;
  }
  // The rows that moved or hid leave their old places to the tab's background.
  RedrawWindow(FSecurityTab, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

TMainPageWin32::~TMainPageWin32() {
  if (FWindow != nullptr) DestroyWindow(FWindow);
}

SIZE TMainPageWin32::NeededSize() const {
  RECT needed{0, 0, 0, 0};
  for (const TInnerTab& tab : FInner) {
    const SIZE size = WindowSize(tab.Window);
    needed.right = std::max(needed.right, size.cx);
    needed.bottom = std::max(needed.bottom, size.cy);
  }
  TabCtrl_AdjustRect(FTabs, TRUE, &needed);
  return SIZE{needed.right - needed.left, needed.bottom - needed.top};
}

void TMainPageWin32::Layout() {
  RECT client{};
  GetClientRect(FWindow, &client);
  MoveWindow(FTabs, 0, 0, client.right, client.bottom, TRUE);
  RECT display = client;
  TabCtrl_AdjustRect(FTabs, FALSE, &display);
  for (const TInnerTab& tab : FInner)
    MoveWindow(tab.Window, display.left, display.top, display.right - display.left, display.bottom - display.top,
               TRUE);
  // The tabs are as tall as the tallest ("Безопасность" with OAuth 2.0): the body's memo
  // takes the height its tab has below it.
  HWND body = FFields[mfBodyText];
  HWND tab = GetParent(body);
  RECT field{};
  GetWindowRect(body, &field);
  MapWindowPoints(nullptr, tab, reinterpret_cast<POINT*>(&field), 2);
  const TDialogUnits du(tab, reinterpret_cast<HFONT>(SendMessageW(body, WM_GETFONT, 0, 0)));
  const int bottom = (display.bottom - display.top) - du.Y(7);
  if (bottom > field.top + du.Y(40))
    SetWindowPos(body, nullptr, 0, 0, field.right - field.left, bottom - field.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TMainPageWin32::Rescale(int FromDpi, int ToDpi, const TDialogFonts& Fonts) {
  SetFontDeep(FWindow, Fonts.Normal());
  for (const TInnerTab& tab : FInner) ScaleChildren(tab.Window, FromDpi, ToDpi);
  LayoutOAuthRows();
  // The tab strip's height follows its new font; the tabs themselves are sized by Layout.
  for (const TInnerTab& tab : FInner) {
    const SIZE size = WindowSize(tab.Window);
    SetWindowPos(tab.Window, nullptr, 0, 0, MulDiv(size.cx, ToDpi, FromDpi), MulDiv(size.cy, ToDpi, FromDpi),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void TMainPageWin32::ShowInner(int Index) {
  for (std::size_t i = 0; i < FInner.size(); ++i)
    ShowWindow(FInner[i].Window, static_cast<int>(i) == Index ? SW_SHOW : SW_HIDE);
}

bool TMainPageWin32::DialogMessage(HWND Dialog, UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) {
  if (Msg == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(LParam);
    if (header->hwndFrom == FTabs && header->code == TCN_SELCHANGE) {
      ShowInner(TabCtrl_GetCurSel(FTabs));
      return true;
    }
  }
  return TPageWin32::DialogMessage(Dialog, Msg, WParam, LParam, Result);
}

std::string TMainPageWin32::FieldText(TMainSettingsField Field) {
  return FFields[Field] != nullptr ? Utf8(WindowText(FFields[Field])) : std::string();
}

void TMainPageWin32::SetFieldText(TMainSettingsField Field, const std::string& Text) {
  if (FFields[Field] != nullptr) SetText(FFields[Field], Text);
}

TInfoPageWin32::TInfoPageWin32(HWND Frame, std::vector<TInfoRow> Rows, HFONT Bold)
    : FRows(std::move(Rows)), FBold(Bold) {
  FFrame = Frame;
  FWindow = CreateDialogFor(*this, EQ_IDD_PAGE_INFO, Frame);
  if (FWindow == nullptr) throw std::runtime_error("the information tab cannot be created");
  TakeOverDpiChanges(FWindow);
  UseTabBackground(FWindow);
  FFont = reinterpret_cast<HFONT>(SendMessageW(FWindow, WM_GETFONT, 0, 0));
  for (std::size_t i = 0; i < FRows.size(); ++i) {
    HWND caption = GetDlgItem(FWindow, EQ_IDC_FIRST_INFO_CAPTION + static_cast<int>(i));
    SetText(caption, FRows[i].Caption);
    SendMessageW(caption, WM_SETFONT, reinterpret_cast<WPARAM>(FBold), FALSE);
    SetText(GetDlgItem(FWindow, EQ_IDC_FIRST_INFO + static_cast<int>(i)), FRows[i].Value);
  }
}

TInfoPageWin32::~TInfoPageWin32() {
  if (FWindow != nullptr) DestroyWindow(FWindow);
}

SIZE TInfoPageWin32::NeededSize() const { return SIZE{0, 0}; }

void TInfoPageWin32::Layout() {
  RECT r{};
  GetClientRect(FWindow, &r);
  const HFONT font = FFont;
  const TDialogUnits du(FWindow, font);
  // The captions' column is as wide as the widest caption.
  int captionWidth = 0;
  for (const TInfoRow& row : FRows) captionWidth = std::max(captionWidth, TextWidth(FWindow, FBold, Wide(row.Caption)));
  const int left = du.X(7);
  const int valueLeft = left + captionWidth + du.X(6);
  const int valueWidth = std::max<int>(r.right - valueLeft - du.X(7), du.X(40));
  int y = du.Y(7);
  for (std::size_t i = 0; i < FRows.size(); ++i) {
    HWND caption = GetDlgItem(FWindow, EQ_IDC_FIRST_INFO_CAPTION + static_cast<int>(i));
    HWND value = GetDlgItem(FWindow, EQ_IDC_FIRST_INFO + static_cast<int>(i));
    const int captionHeight = TextHeight(FWindow, FBold, Wide(FRows[i].Caption), captionWidth);
    const int valueHeight = std::max(TextHeight(FWindow, font, Wide(FRows[i].Value), valueWidth), captionHeight);
    // The last row takes the remaining height.
    const int height = i + 1 == FRows.size() ? std::max<int>(r.bottom - y - du.Y(4), valueHeight) : valueHeight;
    MoveWindow(caption, left, y, captionWidth, captionHeight, TRUE);
    MoveWindow(value, valueLeft, y, valueWidth, height, TRUE);
    y += height + du.Y(5);
  }
}

void TInfoPageWin32::Rescale(int, int, const TDialogFonts& Fonts) {
  SetFontDeep(FWindow, Fonts.Normal());
  FFont = Fonts.Normal();
  FBold = Fonts.Bold();
  for (std::size_t i = 0; i < FRows.size(); ++i)
    SendMessageW(GetDlgItem(FWindow, EQ_IDC_FIRST_INFO_CAPTION + static_cast<int>(i)), WM_SETFONT,
                 reinterpret_cast<WPARAM>(FBold), FALSE);
}

}  // namespace eqd::settings_ui_win32
