#include "mail/codecs/extended_parameter.h"

#include <cstring>
#include <vector>

#include "platform/utf8.h"

namespace eqd {
namespace {

constexpr std::string_view kCharsetPrefix = "UTF-8''";
// Where the folded line of one parameter aims, as FoldHeaderField folds.
constexpr std::size_t kFoldAt = 78;

bool IsAttributeChar(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return c != '\0' && std::strchr("!#$&+-.^_`|~", c) != nullptr;
}

void AppendEncoded(std::string& out, std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (IsAttributeChar(c)) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
}

}  // namespace

std::string ExtendedParameter(std::string_view name, std::string_view utf8) {
  std::string whole(kCharsetPrefix);
  AppendEncoded(whole, utf8);
  // " name*=" before the value and ";" after it, on a line of its own.
  if (1 + name.size() + 2 + whole.size() + 1 <= kFoldAt) return std::string(name) + "*=" + whole;

  // Sections of whole characters; a section line is " name*NN*=" + value + ";" (with a
  // hundred sections and more, a line or two longer than the aim, far within the cap).
  const std::size_t room = kFoldAt - (1 + name.size() + 4 + 2 + 1);
  std::vector<std::string> sections{std::string(kCharsetPrefix)};
  for (std::size_t at = 0; at < utf8.size();) {
    const std::size_t start = at;
    (void)platform::DecodeUtf8(utf8, at);  // a malformed sequence is a character of its own here
    std::string encoded;
    AppendEncoded(encoded, utf8.substr(start, at - start));
    if (sections.back().size() + encoded.size() > room) sections.emplace_back();
    sections.back() += encoded;
  }
  std::string out;
  for (std::size_t i = 0; i < sections.size(); ++i) {
    if (i > 0) out += "; ";
    out += name;
    out += '*';
    out += std::to_string(i);
    out += "*=";
    out += sections[i];
  }
  return out;
}

}  // namespace eqd
