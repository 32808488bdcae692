// Driving the settings windows from a second thread the way a person would, with window
// messages: finding windows and controls, typing, clicking, reading texts back, taking
// screenshots. Every wait has a limit.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace eqd::ui_test {

using namespace std::chrono_literals;

// Polls until the condition holds; false when the limit passed first.
bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 15s);

// A visible top-level window of this process with the class (nullptr: any) and caption.
HWND FindTopWindow(const wchar_t* className, const std::wstring& caption);
HWND WaitForTopWindow(const wchar_t* className, const std::wstring& caption, std::chrono::milliseconds limit = 15s);
// The descendant with the control identifier, or nullptr.
HWND FindControl(HWND root, int id);
// The descendants of a class, in creation order.
std::vector<HWND> FindControls(HWND root, const wchar_t* className);

std::wstring TextOf(HWND window);
// Sends a message and waits for the answer up to the limit; 0 when it did not come.
LRESULT SendBounded(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
void SetText(HWND control, const std::wstring& text);
// A click on a push button as its parent sees it (posted, so a modal window it opens
// does not hold this thread).
void Click(HWND button);
void PostKey(HWND window, WPARAM key);
// Selects a tab the way a click does (with the change notification).
void SelectTab(HWND tabControl, int index);

// Real input, as a person types: the window to the foreground, then each key down in
// order and up in reverse (VK_CONTROL, VK_SHIFT, VK_MENU for the modifiers). Waits a
// little after, for the window's thread to take it.
void Type(HWND window, std::initializer_list<WORD> keys);
// A left click at a point of the screen.
void ClickAt(HWND window, POINT screen);
// An access key as the dialog manager meets it from a keyboard of any layout: Alt+letter
// arrives as WM_SYSCHAR at the focused control.
void PostAccessKey(HWND focused, wchar_t letter);
// The control of the window's thread that has the keyboard focus.
HWND FocusOf(HWND window);

// The text of each item of the popup menu the menu window shows ("-" for a separator,
// a submenu's text followed by its items in brackets), without the access keys' "&".
std::vector<std::wstring> MenuTexts(HMENU menu);

// Writes what the screen shows in the rectangle as a 24-bit BMP file.
bool CaptureScreen(const RECT& rect, const std::wstring& file);
// The window with a margin, or the union of the windows.
bool CaptureWindows(const std::vector<HWND>& windows, const std::wstring& file);

std::wstring Wide(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

}  // namespace eqd::ui_test
