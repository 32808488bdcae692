#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <thread>
#include <vector>

#include "device/base_device.h"
#include "platform/focus.h"
#include "platform/main_thread.h"
#include "platform/message_window.h"

namespace eqd {
namespace {

HWND AsHwnd(platform::WindowHandle h) { return reinterpret_cast<HWND>(h); }

TEST(MessageWindowTest, IsAMessageOnlyWindowThatAnswersThroughItsHandler) {
  std::vector<UINT> seen;
  HWND hwnd = nullptr;
  {
    platform::MessageWindow window([&](platform::WindowMessage& m) {
      seen.push_back(m.Msg);
      if (m.Msg == WM_APP) {
        m.Result = static_cast<std::intptr_t>(m.WParam + static_cast<std::uintptr_t>(m.LParam));
        m.Handled = true;
      }
      if (m.Msg == WM_APP + 1) throw std::runtime_error("must not escape");
    });
    ASSERT_EQ(window.Error(), 0);
    hwnd = AsHwnd(window.Handle());
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_EQ(FindWindowExW(HWND_MESSAGE, nullptr, L"EqdDeviceMessageWindow", nullptr), hwnd);
    EXPECT_EQ(window.Send(WM_APP, 40, 2), 42);
    EXPECT_EQ(SendMessageW(hwnd, WM_APP, 1, 2), 3);
    // Left unhandled, the system's default handling answers (here: it stores the text).
    SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"abc"));
    wchar_t text[8] = {};
    GetWindowTextW(hwnd, text, 8);
    EXPECT_STREQ(text, L"abc");
    EXPECT_EQ(window.Send(WM_APP + 1), 0);  // the handler's error stays inside
  }
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(std::count(seen.begin(), seen.end(), UINT{WM_DESTROY}), 0) << "the handler is detached before destruction";
}

TEST(MessageWindowTest, DeviceWindowLivesFromInitializeToDestroy) {
  auto device = CreateDevice<TBaseDevice>();
  const HWND hwnd = AsHwnd(device->DeviceHandle());
  EXPECT_TRUE(IsWindow(hwnd));
  EXPECT_EQ(device->SendDeviceMessage(WM_APP, 1, 2), 0);  // WndProc ignores everything
  device->Destroy();
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(device->DeviceHandle(), kNoDeviceHandle);
}

TEST(MainThreadTest, IsTheProcessFirstThreadFromAnyThread) {
  const std::uint32_t main = GetCurrentThreadId();
  EXPECT_EQ(platform::FindMainThreadId(), main);
  std::uint32_t seenFromWorker = 0;
  std::thread([&] { seenFromWorker = platform::FindMainThreadId(); }).join();
  EXPECT_EQ(seenFromWorker, main);
}

// The host's window is disabled while the device's window is up and gets its input
// and the foreground back afterwards.
TEST(FocusStackTest, DisablesTheHostWindowAndGivesItBack) {
  HWND host = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  if (host == nullptr) GTEST_SKIP() << "no desktop to show a window on";
  SetForegroundWindow(host);
  if (GetForegroundWindow() != host) {
    DestroyWindow(host);
    GTEST_SKIP() << "no desktop to give the foreground to";
  }
  {
    platform::FocusStack stack;
    stack.Store();
    EXPECT_EQ(stack.Top(), reinterpret_cast<platform::WindowHandle>(host));
    EXPECT_FALSE(IsWindowEnabled(host));
    stack.Restore();
    EXPECT_TRUE(IsWindowEnabled(host));
    EXPECT_EQ(GetForegroundWindow(), host);
    EXPECT_EQ(stack.Depth(), 0u);

    // A stack left holding the window gives its input back when it goes away.
    stack.Store();
    EXPECT_FALSE(IsWindowEnabled(host));
  }
  EXPECT_TRUE(IsWindowEnabled(host));
  DestroyWindow(host);
}

}  // namespace
}  // namespace eqd
