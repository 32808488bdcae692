#include "platform/read_only_file.h"

#include <stdexcept>
#include <string>

#include <windows.h>

namespace eqd::platform {
namespace {

std::wstring Widen(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string SystemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring w = n > 0 && text ? std::wstring(text, n) : std::wstring();
  if (text) LocalFree(text);
  while (!w.empty() && (w.back() == L'\r' || w.back() == L'\n' || w.back() == L' ')) w.pop_back();
  if (w.empty()) return "error " + std::to_string(code);
  const int len = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(len), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), len, nullptr, nullptr);
  return out;
}

}  // namespace

struct TReadOnlyFile::TImpl {
  HANDLE Handle = INVALID_HANDLE_VALUE;
  ~TImpl() {
    if (Handle != INVALID_HANDLE_VALUE) CloseHandle(Handle);
  }
};

TReadOnlyFile::TReadOnlyFile(const std::string& path) : impl_(std::make_unique<TImpl>()) {
  impl_->Handle = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (impl_->Handle == INVALID_HANDLE_VALUE) throw std::runtime_error(SystemMessage(GetLastError()));
}

TReadOnlyFile::~TReadOnlyFile() = default;

std::size_t TReadOnlyFile::Read(char* buffer, std::size_t size) {
  DWORD got = 0;
  const DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  if (!ReadFile(impl_->Handle, buffer, want, &got, nullptr))
    throw std::runtime_error(SystemMessage(GetLastError()));
  return got;
}

}  // namespace eqd::platform
