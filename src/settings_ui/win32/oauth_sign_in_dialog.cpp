#include "settings_ui/win32/oauth_sign_in_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include <stdexcept>

#include "settings_ui/settings_ui_texts.h"
#include "settings_ui/win32/resources.h"

namespace eqd::settings_ui_win32 {

namespace texts = settings_ui_texts;

namespace {

// The provider names the address; only a web address of its own kind is handed to the
// shell, never a program or a file.
bool IsWebAddress(const std::string& Address) {
  return Address.starts_with("https://") && Address.find_first_of(" \t\r\n\"") == std::string::npos;
}

}  // namespace

TOAuthSignInDialog::TOAuthSignInDialog(HWND Owner, TOAuthSignIn& SignIn) : FOwner(Owner), FSignIn(SignIn) {
  FWindow = CreateDialogFor(*this, EQ_IDD_SIGN_IN, Owner);
  if (FWindow == nullptr) throw std::runtime_error("the sign-in cannot be shown");
  SetText(FWindow, texts::kSignInCaption);
  SetText(GetDlgItem(FWindow, EQ_IDC_SIGN_IN_TEXT), texts::kSignInAsking);
  SetWindowTextW(GetDlgItem(FWindow, EQ_IDC_SIGN_IN_BROWSER),
                 WithAccessKey(texts::kOpenBrowserButton, texts::kOpenBrowserKey).c_str());
  SetWindowTextW(GetDlgItem(FWindow, EQ_IDC_SIGN_IN_CANCEL), WithAccessKey(texts::kCancelButton, texts::kCancelKey).c_str());
  SendDlgItemMessageW(FWindow, EQ_IDC_SIGN_IN_BAR, PBM_SETMARQUEE, TRUE, 30);
  // The code in a larger bold face: it is what the person types elsewhere.
  LOGFONTW face{};
  const auto font = reinterpret_cast<HFONT>(SendMessageW(FWindow, WM_GETFONT, 0, 0));
  if (font != nullptr && GetObjectW(font, sizeof(face), &face) != 0) {
    face.lfHeight = face.lfHeight * 3 / 2;
    face.lfWeight = FW_BOLD;
    FCodeFont.Reset(CreateFontIndirectW(&face));
    SendDlgItemMessageW(FWindow, EQ_IDC_SIGN_IN_CODE, WM_SETFONT, reinterpret_cast<WPARAM>(FCodeFont.Get()), FALSE);
  }
  for (int id : {EQ_IDC_SIGN_IN_ADDRESS, EQ_IDC_SIGN_IN_CODE_LABEL, EQ_IDC_SIGN_IN_CODE})
    ShowWindow(GetDlgItem(FWindow, id), SW_HIDE);
  ShowOverOwner(FWindow, Owner, GetDlgItem(FWindow, EQ_IDC_SIGN_IN_CANCEL));
}

TOAuthSignInDialog::~TOAuthSignInDialog() {
  EnableWindow(FOwner, TRUE);
  DestroyWindow(FWindow);
}

void TOAuthSignInDialog::CodeReady(const oauth::TDeviceAuthorizationStruct& Code) {
  {
    const std::lock_guard lock(FMutex);
    FCode = Code;
  }
  PostMessageW(FWindow, kCodeMessage, 0, 0);
}

void TOAuthSignInDialog::Finished() { PostMessageW(FWindow, kFinishedMessage, 0, 0); }

void TOAuthSignInDialog::Wait() {
  RunModalLoop(FWindow, FDone, {});
  if (!FDone) Cancel();  // the host's loop is ending: the sign-in must not outlive the window
}

void TOAuthSignInDialog::ShowCode() {
  oauth::TDeviceAuthorizationStruct code;
  {
    const std::lock_guard lock(FMutex);
    code = FCode;
  }
  SetText(GetDlgItem(FWindow, EQ_IDC_SIGN_IN_TEXT), texts::kSignInOpen);
  SetText(GetDlgItem(FWindow, EQ_IDC_SIGN_IN_ADDRESS), code.VerificationUri);
  SetText(GetDlgItem(FWindow, EQ_IDC_SIGN_IN_CODE_LABEL), texts::kSignInEnterCode);
  SetText(GetDlgItem(FWindow, EQ_IDC_SIGN_IN_CODE), code.UserCode);
  SetText(GetDlgItem(FWindow, EQ_IDC_SIGN_IN_STATUS), texts::kSignInWaiting);
  for (int id : {EQ_IDC_SIGN_IN_ADDRESS, EQ_IDC_SIGN_IN_CODE_LABEL, EQ_IDC_SIGN_IN_CODE})
    ShowWindow(GetDlgItem(FWindow, id), SW_SHOW);
  // The address with the code in it spares the typing, where the provider gives one.
  const std::string& address = IsWebAddress(code.VerificationUriComplete) ? code.VerificationUriComplete
                                                                         : code.VerificationUri;
  FBrowserAddress = IsWebAddress(address) ? Wide(address) : std::wstring();
  EnableWindow(GetDlgItem(FWindow, EQ_IDC_SIGN_IN_BROWSER), !FBrowserAddress.empty());
}

void TOAuthSignInDialog::Cancel() {
  FSignIn.Cancel();
  EnableWindow(GetDlgItem(FWindow, EQ_IDC_SIGN_IN_CANCEL), FALSE);
}

bool TOAuthSignInDialog::DialogMessage(HWND, UINT Msg, WPARAM WParam, LPARAM, LRESULT&) {
  switch (Msg) {
    case kCodeMessage: ShowCode(); return true;
    case kFinishedMessage: FDone = true; return true;
    case WM_CLOSE: Cancel(); return true;
    case WM_COMMAND:
      if (LOWORD(WParam) == EQ_IDC_SIGN_IN_CANCEL || LOWORD(WParam) == IDCANCEL) Cancel();
      if (LOWORD(WParam) == EQ_IDC_SIGN_IN_BROWSER && !FBrowserAddress.empty())
        ShellExecuteW(FWindow, L"open", FBrowserAddress.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      return true;
    default: return false;
  }
}

}  // namespace eqd::settings_ui_win32
