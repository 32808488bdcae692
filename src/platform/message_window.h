// The device object's hidden message window. On Windows it is a real message-only
// window whose messages reach the owner's handler; elsewhere there is no window system
// to talk to, so the handle is a placeholder and Send() hands the message straight to
// the handler, which keeps the handler reachable (and testable) everywhere.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/os_error.h"

namespace eqd::platform {

// A window handle as a plain number; 0 means "no window".
using WindowHandle = std::uintptr_t;

struct WindowMessage {
  std::uint32_t Msg = 0;
  std::uintptr_t WParam = 0;
  std::intptr_t LParam = 0;
  std::intptr_t Result = 0;
  // Left false, the system's default handling answers the message.
  bool Handled = false;
};

class MessageWindow {
 public:
  using Handler = std::function<void(WindowMessage&)>;

  // Creates the window; when the system refuses, Handle() is 0 and Error() says why.
  explicit MessageWindow(Handler handler);
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  WindowHandle Handle() const;
  OsErrorCode Error() const;
  // Delivers one message synchronously and returns its result.
  std::intptr_t Send(std::uint32_t msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) const;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace eqd::platform
