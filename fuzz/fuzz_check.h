// What the fuzz targets assert. A broken property aborts, so libFuzzer keeps the input
// that shows it; the message says which property broke.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#define EQ_FUZZ_CHECK(condition)                                                      \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

namespace eqd::fuzz {

// A composed header field: lines joined by CR LF and ending with one, none of them over
// the 998-octet cap, no CR, LF or NUL anywhere else, and every line after the first a
// continuation (starting with a blank).
inline bool IsSoundHeaderField(std::string_view field) {
  if (field.size() < 2 || field.substr(field.size() - 2) != "\r\n") return false;
  std::size_t at = 0;
  bool first = true;
  while (at < field.size()) {
    const std::size_t end = field.find("\r\n", at);
    const std::string_view line = field.substr(at, end - at);
    if (line.size() > 998) return false;
    if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
    if (!first && (line.empty() || (line[0] != ' ' && line[0] != '\t'))) return false;
    first = false;
    at = end + 2;
  }
  return true;
}

// Unfolding (RFC 5322): the CR LF pairs go, the blanks after them stay.
inline std::string Unfold(std::string_view field) {
  std::string out;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\r' && i + 1 < field.size() && field[i + 1] == '\n') {
      ++i;
      continue;
    }
    out += field[i];
  }
  return out;
}

// Strict UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
inline bool IsWellFormedUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = 0;
    char32_t cp = 0, least = 0;
    if (b < 0x80) { ++i; continue; }
    if ((b & 0xE0) == 0xC0) { n = 1; cp = b & 0x1F; least = 0x80; }
    else if ((b & 0xF0) == 0xE0) { n = 2; cp = b & 0x0F; least = 0x800; }
    else if ((b & 0xF8) == 0xF0) { n = 3; cp = b & 0x07; least = 0x10000; }
    else return false;
    if (i + n >= s.size()) return false;
    for (std::size_t k = 1; k <= n; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n + 1;
  }
  return true;
}

}  // namespace eqd::fuzz
