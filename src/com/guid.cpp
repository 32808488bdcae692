#include "com/guid.h"

#include "platform/guid.h"

namespace eqd::com {

std::string GuidToText(const TGuid& g) {
  return platform::GuidToText(g.Data1, g.Data2, g.Data3, g.Data4);
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads `digits` hexadecimal digits at `pos`; false when any is missing or no digit.
bool ReadHex(std::string_view text, std::size_t& pos, int digits, std::uint32_t& out) {
  out = 0;
  if (pos + static_cast<std::size_t>(digits) > text.size()) return false;
  for (int i = 0; i < digits; ++i) {
    const int d = HexDigit(text[pos++]);
    if (d < 0) return false;
    out = out << 4 | static_cast<std::uint32_t>(d);
  }
  return true;
}

bool Expect(std::string_view text, std::size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

}  // namespace

std::optional<TGuid> TextToGuid(std::string_view text) {
  if (text.size() != 38) return std::nullopt;
  TGuid g;
  std::size_t pos = 0;
  std::uint32_t v = 0;
  if (!Expect(text, pos, '{') || !ReadHex(text, pos, 8, v)) return std::nullopt;
  g.Data1 = v;
  if (!Expect(text, pos, '-') || !ReadHex(text, pos, 4, v)) return std::nullopt;
  g.Data2 = static_cast<std::uint16_t>(v);
  if (!Expect(text, pos, '-') || !ReadHex(text, pos, 4, v)) return std::nullopt;
  g.Data3 = static_cast<std::uint16_t>(v);
  if (!Expect(text, pos, '-')) return std::nullopt;
  for (std::size_t i = 0; i < 8; ++i) {
    if (i == 2 && !Expect(text, pos, '-')) return std::nullopt;
    if (!ReadHex(text, pos, 2, v)) return std::nullopt;
    g.Data4[i] = static_cast<std::uint8_t>(v);
  }
  if (!Expect(text, pos, '}')) return std::nullopt;
  return g;
}

}  // namespace eqd::com
