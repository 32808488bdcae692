#include "mail/codecs/encoded_word.h"

#include <algorithm>
#include <vector>

#include "automation/windows1251.h"
#include "mail/codecs/base64.h"

namespace eqd {
namespace {

// "=?windows-1251?B?" and "?=" leave 56 Base64 characters, that is 42 bytes, per word.
constexpr std::size_t kWordOverhead = 2 + 12 + 3 + 2;
constexpr std::size_t kBytesPerWord = (kMaxEncodedWordLength - kWordOverhead) / 4 * 3;
// Where folding aims; the hard cap is kMaxHeaderLineLength.
constexpr std::size_t kFoldAt = 78;

bool IsPrintable(unsigned char c) { return c >= 0x20 && c < 0x7F; }

bool WordNeedsEncoding(std::string_view word) {
  return word.size() > kLongestPlainWord || NeedsEncoding(word);
}

}  // namespace

bool NeedsEncoding(std::string_view utf8) {
  for (const char c : utf8)
    if (!IsPrintable(static_cast<unsigned char>(c))) return true;
  return utf8.find("=?") != std::string_view::npos;
}

std::string EncodeWords(std::string_view utf8) {
  const std::string bytes = Utf8ToWindows1251(utf8);
  std::string out;
  for (std::size_t at = 0; at < bytes.size(); at += kBytesPerWord) {
    if (!out.empty()) out += ' ';
    out += "=?";
    out += kHeaderCharset;
    out += "?B?";
    out += Base64Encode(std::string_view(bytes).substr(at, kBytesPerWord));
    out += "?=";
  }
  return out;
}

std::string EncodeHeaderText(std::string_view utf8) {
  // Blank runs and words in turn: blanks[i] precedes words[i]; the tail of blanks is last.
  std::vector<std::string_view> blanks, words;
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::size_t wordAt = utf8.find_first_not_of(' ', i);
    if (wordAt == std::string_view::npos) break;
    const std::size_t wordEnd = std::min(utf8.find(' ', wordAt), utf8.size());
    blanks.push_back(utf8.substr(i, wordAt - i));
    words.push_back(utf8.substr(wordAt, wordEnd - wordAt));
    i = wordEnd;
  }
  const std::string_view tail = utf8.substr(std::min(i, utf8.size()));

  std::string out;
  for (std::size_t w = 0; w < words.size();) {
    out += blanks[w];
    if (!WordNeedsEncoding(words[w])) {
      out += words[w++];
      continue;
    }
    // The run of neighbouring words that need encoding, blanks between them included.
    std::size_t last = w;
    while (last + 1 < words.size() && WordNeedsEncoding(words[last + 1])) ++last;
    const char* from = words[w].data();
    const char* to = words[last].data() + words[last].size();
    out += EncodeWords(std::string_view(from, static_cast<std::size_t>(to - from)));
    w = last + 1;
  }
  out += tail;
  return out;
}

std::string FoldHeaderField(std::string_view name, std::string_view value) {
  std::string out;
  out.reserve(name.size() + value.size() + 8);
  out += name;
  out += ':';
  std::size_t lineLength = out.size();
  // Each piece is a run of blanks and the word after it; a fold goes before the blanks, so
  // unfolding (dropping the CR LF) gives the value back unchanged. The value's own leading
  // blanks give way to the one blank after the colon.
  std::size_t i = std::min(value.find_first_not_of(' '), value.size());
  bool first = true;
  while (i < value.size()) {
    const std::size_t wordAt = std::min(value.find_first_not_of(' ', i), value.size());
    const std::size_t wordEnd = std::min(value.find(' ', wordAt), value.size());
    const std::string_view blanks = first ? std::string_view(" ") : value.substr(i, wordAt - i);
    const std::string_view word = value.substr(wordAt, wordEnd - wordAt);
    if (!first && !word.empty() && lineLength + blanks.size() + word.size() > kFoldAt) {
      out += "\r\n";
      lineLength = 0;
    }
    out += blanks;
    out += word;
    lineLength += blanks.size() + word.size();
    first = false;
    i = wordEnd;
  }
  out += "\r\n";
  return out;
}

}  // namespace eqd
