#include "platform/focus.h"

namespace eqd::platform {

FocusStack::~FocusStack() {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
    if (*it != 0) EnableWindowInput(*it, true);
}

void FocusStack::Store() {
  const WindowHandle window = ForegroundWindow();
  windows_.push_back(window);
  if (window != 0) EnableWindowInput(window, false);
}

void FocusStack::Restore() {
  if (windows_.empty()) return;
  const WindowHandle window = windows_.back();
  if (window != 0) {
    EnableWindowInput(window, true);
    if (window != ForegroundWindow()) ActivateWindow(window);
  }
  windows_.pop_back();
}

}  // namespace eqd::platform
