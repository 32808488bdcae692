#include "platform/message_window.h"

#include <windows.h>

#include "platform/unique_handle.h"

namespace eqd::platform {

struct MessageWindow::Impl {
  Handler handler;
  TUniqueHandle<HWND, &DestroyWindow> window;
  OsErrorCode error = 0;
};

namespace {

// The class's own procedure is the system's default one, so the class stays harmless
// after this module is unloaded (a registered class outlives the module that registered
// it); each window is switched to WindowProc below right after it is created.
constexpr wchar_t kClassName[] = L"EqdDeviceMessageWindow";

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* impl = reinterpret_cast<MessageWindow::Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (impl != nullptr && impl->handler) {
    WindowMessage m{msg, static_cast<std::uintptr_t>(wParam), static_cast<std::intptr_t>(lParam), 0, false};
    try {
      impl->handler(m);
    } catch (...) {
      // Nothing may unwind through the system's message dispatch.
      m.Handled = false;
    }
    if (m.Handled) return static_cast<LRESULT>(m.Result);
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

MessageWindow::MessageWindow(Handler handler) : impl_(std::make_unique<Impl>()) {
  impl_->handler = std::move(handler);
  const HINSTANCE instance = ThisModule();
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = instance;
  wc.lpszClassName = kClassName;
  if (RegisterClassW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    impl_->error = static_cast<OsErrorCode>(GetLastError());
    return;
  }
  impl_->window.Reset(CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr));
  const HWND hwnd = impl_->window.Get();
  if (hwnd == nullptr) {
    impl_->error = static_cast<OsErrorCode>(GetLastError());
    return;
  }
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl_.get()));
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));
}

MessageWindow::~MessageWindow() {
  const HWND hwnd = impl_->window.Get();
  if (hwnd == nullptr) return;
  // The owner is being torn down: its handler must see nothing from now on, before the
  // window goes (destroying it sends messages of its own).
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
  impl_->window.Reset();
}

WindowHandle MessageWindow::Handle() const { return reinterpret_cast<WindowHandle>(impl_->window.Get()); }
OsErrorCode MessageWindow::Error() const { return impl_->error; }

std::intptr_t MessageWindow::Send(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) const {
  if (!impl_->window) return 0;
  return static_cast<std::intptr_t>(
      SendMessageW(impl_->window.Get(), msg, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)));
}

}  // namespace eqd::platform
