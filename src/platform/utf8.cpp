#include "platform/utf8.h"

namespace eqd::platform {

char32_t DecodeUtf8(std::string_view s, std::size_t& pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char b0 = byte(pos);
  if (b0 < 0x80) {
    ++pos;
    return b0;
  }
  int length = 0;
  char32_t c = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    length = 2, c = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    length = 3, c = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    length = 4, c = b0 & 0x07;
  } else {
    ++pos;  // a continuation byte, an overlong lead (C0, C1) or a lead beyond U+10FFFF
    return kInvalidUtf8;
  }
  std::size_t i = pos + 1;
  for (int k = 1; k < length; ++k, ++i) {
    if (i >= s.size() || (byte(i) & 0xC0) != 0x80) {
      pos = i;
      return kInvalidUtf8;
    }
    // The second byte alone tells an overlong form, a surrogate or a value above
    // U+10FFFF from a character.
    if (k == 1 && ((b0 == 0xE0 && byte(i) < 0xA0) || (b0 == 0xED && byte(i) >= 0xA0) ||
                   (b0 == 0xF0 && byte(i) < 0x90) || (b0 == 0xF4 && byte(i) >= 0x90))) {
      pos = i;
      return kInvalidUtf8;
    }
    c = c << 6 | (byte(i) & 0x3F);
  }
  pos = i;
  return c;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsWellFormedUtf8(std::string_view s) {
  for (std::size_t pos = 0; pos < s.size();)
    if (DecodeUtf8(s, pos) == kInvalidUtf8) return false;
  return true;
}

}  // namespace eqd::platform
