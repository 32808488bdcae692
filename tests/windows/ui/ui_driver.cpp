#include "ui_driver.h"

#include <commctrl.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "platform/win32/wide.h"

namespace eqd::ui_test {

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

namespace {
// Window enumeration callbacks: named functions, since a lambda does not carry the
// system's calling convention on 32-bit Windows.
struct TTopWindowSearch {
  const wchar_t* className;
  const std::wstring* caption;
  HWND found;
};
BOOL CALLBACK MatchTopWindow(HWND window, LPARAM data) {
  auto& s = *reinterpret_cast<TTopWindowSearch*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  wchar_t cls[128] = {};
  GetClassNameW(window, cls, 128);
  if (s.className != nullptr && lstrcmpW(cls, s.className) != 0) return TRUE;
  if (!s.caption->empty() && TextOf(window) != *s.caption) return TRUE;
  s.found = window;
  return FALSE;
}

struct TControlSearch {
  int id;
  HWND found;
};
BOOL CALLBACK MatchControl(HWND window, LPARAM data) {
  auto& s = *reinterpret_cast<TControlSearch*>(data);
  if (GetDlgCtrlID(window) != s.id) return TRUE;
  s.found = window;
  return FALSE;
}

struct TClassSearch {
  const wchar_t* className;
  std::vector<HWND> found;
};
BOOL CALLBACK CollectOfClass(HWND window, LPARAM data) {
  auto& s = *reinterpret_cast<TClassSearch*>(data);
  wchar_t cls[128] = {};
  GetClassNameW(window, cls, 128);
  if (lstrcmpiW(cls, s.className) == 0) s.found.push_back(window);
  return TRUE;
}
}  // namespace

HWND FindTopWindow(const wchar_t* className, const std::wstring& caption) {
  TTopWindowSearch search{className, &caption, nullptr};
  EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForTopWindow(const wchar_t* className, const std::wstring& caption, std::chrono::milliseconds limit) {
  HWND found = nullptr;
  WaitFor([&] { return (found = FindTopWindow(className, caption)) != nullptr; }, limit);
  return found;
}

HWND FindControl(HWND root, int id) {
  TControlSearch search{id, nullptr};
  EnumChildWindows(root, MatchControl, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<HWND> FindControls(HWND root, const wchar_t* className) {
  TClassSearch search{className, {}};
  EnumChildWindows(root, CollectOfClass, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

LRESULT SendBounded(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, msg, wParam, lParam, SMTO_NORMAL, 10000, &result)) return 0;
  return static_cast<LRESULT>(result);
}

std::wstring TextOf(HWND window) {
  wchar_t text[4096] = {};
  SendBounded(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
  return text;
}

void SetText(HWND control, const std::wstring& text) {
  SendBounded(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Click(HWND button) {
  PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
               reinterpret_cast<LPARAM>(button));
}

void PostKey(HWND window, WPARAM key) {
  PostMessageW(window, WM_KEYDOWN, key, 1);
  PostMessageW(window, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
}

void SelectTab(HWND tabControl, int index) { SendBounded(tabControl, TCM_SETCURFOCUS, index, 0); }

void Type(HWND window, std::initializer_list<WORD> keys) {
  SetForegroundWindow(GetAncestor(window, GA_ROOT));
  std::vector<INPUT> inputs;
  for (WORD key : keys) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = key;
    inputs.push_back(in);
  }
  for (auto it = keys.end(); it != keys.begin();) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = *--it;
    in.ki.dwFlags = KEYEVENTF_KEYUP;
    inputs.push_back(in);
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  std::this_thread::sleep_for(300ms);
}

void ClickAt(HWND window, POINT screen) {
  SetForegroundWindow(GetAncestor(window, GA_ROOT));
  SetCursorPos(screen.x, screen.y);
  INPUT click[2] = {};
  click[0].type = click[1].type = INPUT_MOUSE;
  click[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  click[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, click, sizeof(INPUT));
  std::this_thread::sleep_for(300ms);
}

void PostAccessKey(HWND focused, wchar_t letter) {
  PostMessageW(focused, WM_SYSCHAR, letter, 1 | (1u << 29));
  std::this_thread::sleep_for(300ms);
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

std::vector<std::wstring> MenuTexts(HMENU menu) {
  std::vector<std::wstring> texts;
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_SUBMENU;
    info.dwTypeData = text;
    info.cch = 255;
    GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
    if ((info.fType & MFT_SEPARATOR) != 0) {
      texts.push_back(L"-");
      continue;
    }
    std::wstring item = text;
    // The access key's mark is not part of the text (AccessKeyOf tells the key).
    item.erase(std::remove(item.begin(), item.end(), L'&'), item.end());
    if (info.hSubMenu != nullptr) {
      item += L" [";
      for (const std::wstring& sub : MenuTexts(info.hSubMenu)) item += sub + L"; ";
      item += L"]";
    }
    texts.push_back(item);
  }
  return texts;
}

bool CaptureScreen(const RECT& rect, const std::wstring& file) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = bitmap != nullptr;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(memory, old);
  }
  if (ok) {
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD size = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof(header) + sizeof(info.bmiHeader);
    header.bfSize = header.bfOffBits + size;
    info.bmiHeader.biSizeImage = size;
    std::ofstream out(file.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&header), sizeof(header));
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(info.bmiHeader));
    out.write(static_cast<const char*>(bits), size);
    ok = out.good();
  }
  if (bitmap != nullptr) DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

bool CaptureWindows(const std::vector<HWND>& windows, const std::wstring& file) {
  RECT all{};
  bool first = true;
  for (HWND w : windows) {
    RECT r{};
    if (w == nullptr || !GetWindowRect(w, &r)) continue;
    if (first) {
      all = r;
      first = false;
    } else {
      UnionRect(&all, &all, &r);
    }
  }
  if (first) return false;
  InflateRect(&all, 8, 8);
  const int screenWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  all.left = all.left < 0 ? 0 : all.left;
  all.top = all.top < 0 ? 0 : all.top;
  if (screenWidth > 0 && all.right > screenWidth) all.right = screenWidth;
  if (screenHeight > 0 && all.bottom > screenHeight) all.bottom = screenHeight;
  return CaptureScreen(all, file);
}

std::wstring Wide(const std::string& utf8) { return platform::win32::Utf8ToWide(utf8); }
std::string Narrow(const std::wstring& wide) { return platform::win32::WideToUtf8(wide); }

}  // namespace eqd::ui_test
