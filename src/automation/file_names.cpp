#include "automation/file_names.h"

#include "automation/ascii_case.h"

namespace eqd {

namespace {

constexpr std::size_t kMaxFolderName = 64;

bool IsPortDigit(std::string_view digit) {
  // One ASCII digit, or ¹ ² ³ (U+00B9, U+00B2, U+00B3) in UTF-8.
  if (digit.size() == 1) return digit[0] >= '0' && digit[0] <= '9';
  return digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

}  // namespace

std::string FolderNameFromIdentifier(std::string_view Identifier) {
  std::string name;
  for (const char c : Identifier.substr(0, kMaxFolderName)) {
    const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    name += kept ? c : '_';
  }
  if (IsReservedDeviceName(name)) name += '_';
  return name;
}

bool IsReservedDeviceName(std::string_view Name) {
  std::string base = AsciiLowerCase(Name.substr(0, Name.find('.')));
  // Windows ignores blanks before the extension: "NUL .txt" is NUL too.
  while (!base.empty() && base.back() == ' ') base.pop_back();
  if (base == "con" || base == "prn" || base == "aux" || base == "nul" || base == "conin$" || base == "conout$")
    return true;
  return base.size() > 3 && (base.starts_with("com") || base.starts_with("lpt")) &&
         IsPortDigit(std::string_view(base).substr(3));
}

}  // namespace eqd
