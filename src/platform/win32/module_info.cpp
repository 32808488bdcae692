#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "platform/module_info.h"

#include <windows.h>

#include <vector>

#include "platform/win32/wide.h"

namespace eqd::platform {
namespace {
const char kAnchor = 0;  // an address inside this module
}

std::string ModuleFileName() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&kAnchor), &self))
    return {};
  // Grow the buffer until the whole path fits: a long path is not cut at 260 characters.
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(self, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return win32::WideToUtf8(std::wstring_view(buf.data(), n));
    if (buf.size() >= 32768) return {};
    buf.resize(buf.size() * 2);
  }
}

std::string ModuleBaseName() {
  std::string name = ModuleFileName();
  const std::size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

ModuleVersion GetModuleVersion(const std::string& fileName) {
  const std::wstring file = win32::Utf8ToWide(fileName.empty() ? ModuleFileName() : fileName);
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
  if (size == 0) return {};
  std::vector<unsigned char> data(size);
  if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &len) || info == nullptr || len < sizeof *info)
    return {};
  return ModuleVersion{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS),
                       LOWORD(info->dwFileVersionLS)};
}

}  // namespace eqd::platform
