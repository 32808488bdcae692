// Conversion of the systems' date and time pictures into the core's format language.
// Pure string work, compiled on every platform so both converters can be tested.
#include "platform/locale_formats.h"

#include <cctype>

namespace eqd::platform {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Appends a literal character; letters and quotes are quoted so that they are not
// read as fields.
void AppendLiteral(std::string& out, char c) {
  if (IsAsciiLetter(c) || c == '\'') {
    out += '"';
    out += c;
    out += '"';
  } else if (c == '"') {
    out += "'\"'";
  } else {
    out += c;
  }
}

std::size_t RunLength(std::string_view s, std::size_t i) {
  std::size_t n = 1;
  while (i + n < s.size() && s[i + n] == s[i]) ++n;
  return n;
}

}  // namespace

std::string StrftimeToFormat(std::string_view picture) {
  std::string out;
  for (std::size_t i = 0; i < picture.size(); ++i) {
    const char c = picture[i];
    if (c != '%') {
      AppendLiteral(out, c);
      continue;
    }
    bool unpadded = false;
    while (i + 1 < picture.size() && std::string_view("-_0^#EO").find(picture[i + 1]) != std::string_view::npos) {
      if (picture[i + 1] == '-' || picture[i + 1] == '_') unpadded = true;
      ++i;
    }
    if (++i >= picture.size()) return {};
    switch (picture[i]) {
      case 'd': out += unpadded ? "d" : "dd"; break;
      case 'e': out += "d"; break;
      case 'm': out += unpadded ? "m" : "mm"; break;
      case 'Y': out += "yyyy"; break;
      case 'y': out += "yy"; break;
      case 'H': case 'I': out += unpadded ? "h" : "hh"; break;
      case 'k': case 'l': out += "h"; break;
      case 'M': out += unpadded ? "n" : "nn"; break;
      case 'S': out += unpadded ? "s" : "ss"; break;
      case 'p': case 'P': out += "ampm"; break;
      case 'r': out += "hh:nn:ss ampm"; break;
      case 'T': out += "hh:nn:ss"; break;
      case 'R': out += "hh:nn"; break;
      case 'D': out += "mm/dd/yy"; break;
      case 'F': out += "yyyy-mm-dd"; break;
      case '%': out += '%'; break;
      default: return {};  // names of days or months, week numbers, zones...
    }
  }
  return out;
}

std::string WindowsPictureToFormat(std::string_view picture) {
  std::string out;
  for (std::size_t i = 0; i < picture.size();) {
    const char c = picture[i];
    if (c == '\'') {  // quoted literal; '' inside stands for one quote
      std::size_t j = i + 1;
      for (; j < picture.size(); ++j) {
        if (picture[j] != '\'') {
          AppendLiteral(out, picture[j]);
        } else if (j + 1 < picture.size() && picture[j + 1] == '\'') {
          AppendLiteral(out, '\'');
          ++j;
        } else {
          break;
        }
      }
      i = j + 1;
      continue;
    }
    if (!IsAsciiLetter(c)) {
      out += c;
      ++i;
      continue;
    }
    const std::size_t n = RunLength(picture, i);
    switch (c) {
      case 'd':
        if (n > 2) return {};  // names of days
        out += n == 1 ? "d" : "dd";
        break;
      case 'M':
        if (n > 2) return {};  // names of months
        out += n == 1 ? "m" : "mm";
        break;
      case 'y': out += n <= 2 ? "yy" : "yyyy"; break;
      case 'g': break;  // era: left out
      case 'h': case 'H': out += n == 1 ? "h" : "hh"; break;
      case 'm': out += n == 1 ? "n" : "nn"; break;
      case 's': out += n == 1 ? "s" : "ss"; break;
      case 't': out += "ampm"; break;
      default: return {};
    }
    i += n;
  }
  return out;
}

std::string FormatSeparator(std::string_view format, std::string_view fallback) {
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '\'' || c == '"') {  // skip quoted text
      const std::size_t end = format.find(c, i + 1);
      if (end == std::string_view::npos) break;
      i = end;
      continue;
    }
    if (IsAsciiLetter(c) || c == ' ') continue;
    std::size_t len = 1;  // the whole UTF-8 sequence of the character
    while (i + len < format.size() && (static_cast<unsigned char>(format[i + len]) & 0xC0) == 0x80) ++len;
    return std::string(format.substr(i, len));
  }
  return std::string(fallback);
}

}  // namespace eqd::platform
