#include "platform/utf16.h"

#include "platform/utf8.h"

namespace eqd::platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t c = DecodeUtf8(utf8, pos);
    if (c == kInvalidUtf8) c = kReplacement;
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      const char32_t v = c - 0x10000;
      out += static_cast<char16_t>(0xD800 | (v >> 10));
      out += static_cast<char16_t>(0xDC00 | (v & 0x3FF));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    const char16_t u = utf16[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (char32_t{utf16[i + 1]} - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      AppendUtf8(out, kReplacement);  // an unpaired surrogate
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

}  // namespace eqd::platform
