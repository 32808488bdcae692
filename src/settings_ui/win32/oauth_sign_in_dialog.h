// "Войти…" while the sign-in runs: a small dialog owned by the settings window, which
// takes no input meanwhile. It asks the provider first, then shows the address and the
// code the sign-in hands over, opens the browser on request, and "Отмена" (also Escape
// and the close box) ends the sign-in at once.
#pragma once

#include <windows.h>

#include <mutex>

#include "settings_ui/oauth_sign_in.h"
#include "settings_ui/win32/win32_ui.h"

namespace eqd::settings_ui_win32 {

class TOAuthSignInDialog final : public TDialogHandler {
 public:
  TOAuthSignInDialog(HWND Owner, TOAuthSignIn& SignIn);
  ~TOAuthSignInDialog() override;
  TOAuthSignInDialog(const TOAuthSignInDialog&) = delete;
  TOAuthSignInDialog& operator=(const TOAuthSignInDialog&) = delete;

  // From the sign-in's thread: the code to show, and the end of the sign-in.
  void CodeReady(const oauth::TDeviceAuthorizationStruct& Code);
  void Finished();
  // Runs the dialog's messages until Finished (or a WM_QUIT, which cancels the sign-in).
  void Wait();

  bool DialogMessage(HWND Dialog, UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) override;

  static constexpr UINT kCodeMessage = WM_APP + 2;
  static constexpr UINT kFinishedMessage = WM_APP + 3;

 private:
  void ShowCode();
  void Cancel();

  HWND FOwner;
  TOAuthSignIn& FSignIn;
  HWND FWindow = nullptr;
  TUniqueFont FCodeFont;
  bool FDone = false;
  std::mutex FMutex;
  oauth::TDeviceAuthorizationStruct FCode;  // under FMutex until shown
  std::wstring FBrowserAddress;             // empty: nothing the browser may open
};

}  // namespace eqd::settings_ui_win32
