#include "com/win32/com_handles.h"

#include "automation/errors.h"
#include "com/com_texts.h"
#include "com/utf16.h"

namespace eqd::com {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide strings");

std::wstring ToWide(std::string_view utf8) {
  const std::u16string u = Utf8ToUtf16(utf8);
  return std::wstring(u.begin(), u.end());
}

std::string FromWide(std::wstring_view wide) {
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

TBstr MakeBstr(std::string_view utf8) {
  const std::wstring w = ToWide(utf8);
  TBstr b(SysAllocStringLen(w.data(), static_cast<UINT>(w.size())));
  if (!b) throw EDriverError(std::string(kTextOutOfMemory), "EOutOfMemory");
  return b;
}

std::string BstrToUtf8(BSTR value) {
  if (value == nullptr) return {};
  return FromWide(std::wstring_view(value, SysStringLen(value)));
}

}  // namespace eqd::com
