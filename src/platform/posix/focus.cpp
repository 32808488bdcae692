#include "platform/focus.h"

namespace eqd::platform {

// Without a window system nothing ever has the foreground.
WindowHandle ForegroundWindow() { return 0; }
void EnableWindowInput(WindowHandle, bool) {}
void ActivateWindow(WindowHandle) {}

}  // namespace eqd::platform
