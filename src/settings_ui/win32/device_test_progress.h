// "Проверка…" while the device test connects: a small dialog owned by the settings
// window, which takes no input meanwhile, with a moving bar and "Отмена" (also Escape and
// the close box), which cancels the check at once.
#pragma once

#include <windows.h>

#include "settings_ui/common_settings.h"
#include "settings_ui/win32/win32_ui.h"

namespace eqd::settings_ui_win32 {

class TDeviceTestProgress final : public TDialogHandler {
 public:
  TDeviceTestProgress(HWND Owner, TConnectionCheck& Check);
  // The owner gets its input back before the dialog goes, so the system activates it
  // (and its dialog manager gives the focus back to the control that had it).
  ~TDeviceTestProgress() override;
  TDeviceTestProgress(const TDeviceTestProgress&) = delete;
  TDeviceTestProgress& operator=(const TDeviceTestProgress&) = delete;

  // From any thread: the check has ended.
  void Finished();
  // Runs the dialog's messages until Finished (or a WM_QUIT, which cancels the check).
  void Wait();

  bool DialogMessage(HWND Dialog, UINT Msg, WPARAM WParam, LPARAM LParam, LRESULT& Result) override;

  static constexpr UINT kFinishedMessage = WM_APP + 1;

 private:
  void Cancel();

  HWND FOwner;
  TConnectionCheck& FCheck;
  HWND FWindow = nullptr;
  bool FDone = false;
};

}  // namespace eqd::settings_ui_win32
