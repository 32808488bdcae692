#include "settings_ui/win32/device_test_progress.h"

#include <commctrl.h>

#include <stdexcept>

#include "settings_ui/settings_ui_texts.h"
#include "settings_ui/win32/resources.h"

namespace eqd::settings_ui_win32 {

namespace texts = settings_ui_texts;

TDeviceTestProgress::TDeviceTestProgress(HWND Owner, TConnectionCheck& Check) : FOwner(Owner), FCheck(Check) {
  FWindow = CreateDialogFor(*this, EQ_IDD_DEVICE_TEST, Owner);
  if (FWindow == nullptr) throw std::runtime_error("the device test's progress cannot be shown");
  SetText(FWindow, texts::kDeviceTestCaption);
  SetText(GetDlgItem(FWindow, EQ_IDC_PROGRESS_TEXT), texts::kDeviceTestRunning);
  SetWindowTextW(GetDlgItem(FWindow, EQ_IDC_PROGRESS_CANCEL),
                 WithAccessKey(texts::kCancelButton, texts::kCancelKey).c_str());
  SendDlgItemMessageW(FWindow, EQ_IDC_PROGRESS_BAR, PBM_SETMARQUEE, TRUE, 30);
  ShowOverOwner(FWindow, Owner, GetDlgItem(FWindow, EQ_IDC_PROGRESS_CANCEL));
}

TDeviceTestProgress::~TDeviceTestProgress() {
  EnableWindow(FOwner, TRUE);
  DestroyWindow(FWindow);
}

void TDeviceTestProgress::Finished() { PostMessageW(FWindow, kFinishedMessage, 0, 0); }

void TDeviceTestProgress::Wait() {
  RunModalLoop(FWindow, FDone, {});
  if (!FDone) Cancel();  // the host's loop is ending: the check must not outlive the window
}

void TDeviceTestProgress::Cancel() {
  FCheck.Cancel();
  EnableWindow(GetDlgItem(FWindow, EQ_IDC_PROGRESS_CANCEL), FALSE);
}

bool TDeviceTestProgress::DialogMessage(HWND, UINT Msg, WPARAM WParam, LPARAM, LRESULT&) {
  switch (Msg) {
    case kFinishedMessage: FDone = true; return true;
    case WM_CLOSE: Cancel(); return true;
    case WM_COMMAND:
      if (LOWORD(WParam) == EQ_IDC_PROGRESS_CANCEL || LOWORD(WParam) == IDCANCEL) Cancel();
      return true;
    default: return false;
  }
}

}  // namespace eqd::settings_ui_win32
