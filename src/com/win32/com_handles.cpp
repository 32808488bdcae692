#include "com/win32/com_handles.h"

#include "automation/errors.h"
#include "com/com_texts.h"

namespace eqd::com {

TBstr MakeBstr(std::string_view utf8) {
  const std::wstring w = Utf8ToWide(utf8);
  TBstr b(SysAllocStringLen(w.data(), static_cast<UINT>(w.size())));
  if (!b) throw EDriverError(std::string(kTextOutOfMemory), "EOutOfMemory");
  return b;
}

std::string BstrToUtf8(BSTR value) {
  if (value == nullptr) return {};
  return WideToUtf8(std::wstring_view(value, SysStringLen(value)));
}

}  // namespace eqd::com
