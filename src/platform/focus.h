// Handing the keyboard focus over to the device's own modal windows and back to the
// host's window afterwards. On Windows these are the real focus functions; without a
// window system there is no foreground window, so the stack only ever holds 0.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/message_window.h"

namespace eqd::platform {

// The window that has the user's input now; 0 when there is none.
WindowHandle ForegroundWindow();
// Lets a window take input (true) or not (false).
void EnableWindowInput(WindowHandle window, bool enable);
// Brings a window to the front and tells it that it has the focus again.
void ActivateWindow(WindowHandle window);

// The windows that lost the focus to the device's modal windows, innermost last.
class FocusStack {
 public:
  FocusStack() = default;
  // A window still on the stack at the end is given its input back, so a host window
  // is never left disabled by a device that went away mid-dialog.
  ~FocusStack();
  FocusStack(const FocusStack&) = delete;
  FocusStack& operator=(const FocusStack&) = delete;

  // Pushes the foreground window (0 included) and disables it.
  void Store();
  // Pops the top entry after enabling it and giving it the foreground back; an empty
  // stack is left alone.
  void Restore();
  std::size_t Depth() const { return windows_.size(); }
  WindowHandle Top() const { return windows_.empty() ? 0 : windows_.back(); }

 private:
  std::vector<WindowHandle> windows_;
};

}  // namespace eqd::platform
