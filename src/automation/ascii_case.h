// Comparison of names (methods, setting IDs, file extensions, switches) that folds the
// case of ASCII letters only: a-z equal A-Z, every other character, Cyrillic letters
// included, must match exactly.
#pragma once

#include <string>
#include <string_view>

namespace eqd {

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr bool AsciiSameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

// The text with its ASCII capitals made small, every other byte as it is.
inline std::string AsciiLowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

}  // namespace eqd
