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

  // Folding puts a run of blanks on one line with the word after it (the last word also
  // with the tail), and the leading blanks go. A word is encoded when it needs to be, or
  // when that line would be too long (hosts pad fixed-width fields with long runs of
  // blanks): as encoded words it can be split. A long run of blanks before encoded words
  // goes into them too, all but the one blank that keeps the words apart.
  const auto encoded = [&](std::size_t w) {
    const std::size_t extraBlanks = w > 0 ? blanks[w].size() - 1 : 0;
    const std::size_t line = extraBlanks + words[w].size() + (w + 1 == words.size() ? tail.size() : 0);
    return NeedsEncoding(words[w]) || line > kLongestPlainWord;
  };
  constexpr std::size_t kLongestBlankRun = kLongestPlainWord - kMaxEncodedWordLength;

  std::string out;
  bool tailEncoded = false;
  for (std::size_t w = 0; w < words.size();) {
    if (!encoded(w)) {
      out += blanks[w];
      out += words[w++];
      continue;
    }
    // The run of neighbouring words to encode, blanks between them included: encoded
    // separately, a reader would drop those blanks and glue the words.
    std::size_t last = w;
    while (last + 1 < words.size() && encoded(last + 1)) ++last;
    // The blanks left plain before the encoded words, and the tail after them, may share
    // a line with a single encoded word; the leading blanks of the text fold away.
    const char* from = words[w].data();
    std::size_t plainBefore = w > 0 ? blanks[w].size() : 0;
    if (plainBefore > kLongestBlankRun) {
      out += ' ';
      from = blanks[w].data() + 1;
      plainBefore = 1;
    } else {
      out += blanks[w];
    }
    const char* to = words[last].data() + words[last].size();
    if (last + 1 == words.size() && plainBefore + kMaxEncodedWordLength + tail.size() > kLongestPlainWord) {
      to = utf8.data() + utf8.size();
      tailEncoded = true;
    }
    out += EncodeWords(std::string_view(from, static_cast<std::size_t>(to - from)));
    w = last + 1;
  }
  if (!tailEncoded) out += tail;
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
