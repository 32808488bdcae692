#include "com/win32/win32_com_platform.h"

#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "com/win32/com_handles.h"
#include "platform/win32/handles.h"

namespace eqd::com {

namespace {

HKEY RootKey(TRegistryRoot root) { return root == rrCurrentUser ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT; }

// Calls `get(buffer, size)` with a growing buffer until the whole text fits.
template <typename Get>
std::wstring GrowingCall(Get get) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = get(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return std::wstring(buffer.data(), n);
    if (buffer.size() >= 32768) return {};
    buffer.resize(std::max<std::size_t>(buffer.size() * 2, n + 1));
  }
}

}  // namespace

bool TWin32ComPlatform::WriteStringValue(TRegistryRoot root, const std::string& key, const std::string& valueName,
                                         const std::string& data) {
  TRegKey handle;
  if (RegCreateKeyExW(RootKey(root), Utf8ToWide(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                      nullptr, handle.Put(), nullptr) != ERROR_SUCCESS)
    return false;
  const std::wstring name = Utf8ToWide(valueName);
  const std::wstring text = Utf8ToWide(data);
  // REG_SZ: the size counts the terminating zero.
  return RegSetValueExW(handle.Get(), valueName.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool TWin32ComPlatform::DeleteKey(TRegistryRoot root, const std::string& key) {
  return RegDeleteKeyW(RootKey(root), Utf8ToWide(key).c_str()) == ERROR_SUCCESS;
}

std::string TWin32ComPlatform::ModuleLongPath() {
  const std::wstring path =
      GrowingCall([this](wchar_t* b, DWORD n) { return GetModuleFileNameW(FModule, b, n); });
  const std::wstring longPath =
      GrowingCall([&](wchar_t* b, DWORD n) { return GetLongPathNameW(path.c_str(), b, n); });
  return WideToUtf8(longPath.empty() ? path : longPath);
}

std::string TWin32ComPlatform::ShortPath(const std::string& path) {
  const std::wstring wide = Utf8ToWide(path);
  return WideToUtf8(GrowingCall([&](wchar_t* b, DWORD n) { return GetShortPathNameW(wide.c_str(), b, n); }));
}

void TWin32ComPlatform::ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) {
  MessageBoxW(nullptr, Utf8ToWide(text).c_str(), Utf8ToWide(caption).c_str(), flags);
}

std::vector<std::string> ProcessArguments() {
  std::vector<std::string> args;
  int count = 0;
  const platform::win32::TLocalMemory<LPWSTR*> argv(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!argv) return args;
  for (int i = 1; i < count; ++i) args.push_back(WideToUtf8(argv.Get()[i]));
  return args;
}

}  // namespace eqd::com
