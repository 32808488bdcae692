#include "platform/focus.h"

#include <windows.h>

namespace eqd::platform {

namespace {
HWND AsHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
}  // namespace

WindowHandle ForegroundWindow() { return reinterpret_cast<WindowHandle>(GetForegroundWindow()); }

void EnableWindowInput(WindowHandle window, bool enable) { EnableWindow(AsHwnd(window), enable ? TRUE : FALSE); }

void ActivateWindow(WindowHandle window) {
  SetForegroundWindow(AsHwnd(window));
  SendMessageW(AsHwnd(window), WM_SETFOCUS, 0, 0);
}

}  // namespace eqd::platform
