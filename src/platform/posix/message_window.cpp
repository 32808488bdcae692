#include <atomic>

#include "platform/message_window.h"

namespace eqd::platform {

// No window system here: the handle only has to be distinct per window, and a sent
// message goes straight to the handler.
struct MessageWindow::Impl {
  Handler handler;
  WindowHandle handle = 0;
};

namespace {
std::atomic<WindowHandle> gNextHandle{1};
}

MessageWindow::MessageWindow(Handler handler) : impl_(std::make_unique<Impl>()) {
  impl_->handler = std::move(handler);
  impl_->handle = gNextHandle.fetch_add(1);
}

MessageWindow::~MessageWindow() = default;

WindowHandle MessageWindow::Handle() const { return impl_->handle; }
OsErrorCode MessageWindow::Error() const { return 0; }

std::intptr_t MessageWindow::Send(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) const {
  WindowMessage m{msg, wParam, lParam, 0, false};
  if (impl_->handler) impl_->handler(m);
  return m.Handled ? m.Result : 0;
}

}  // namespace eqd::platform
