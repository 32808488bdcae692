// Header texts: any subject or name gives a sound header field (lines of at most 998
// octets, no stray CR, LF or NUL) that unfolds to the encoded text; encoded words keep
// to 75 characters; and a reader's decoding of the encoded text gives the original back
// whenever the 8-bit code page can hold it.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "automation/windows1251.h"
#include "fuzz_check.h"
#include "mail/codecs/base64.h"
#include "mail/codecs/encoded_word.h"

namespace {

constexpr std::string_view kPrefix = "=?windows-1251?B?";
constexpr std::string_view kSuffix = "?=";

bool IsEncodedWord(std::string_view word) {
  if (word.size() < kPrefix.size() + kSuffix.size() || !word.starts_with(kPrefix) || !word.ends_with(kSuffix))
    return false;
  const std::string_view payload = word.substr(kPrefix.size(), word.size() - kPrefix.size() - kSuffix.size());
  return payload.find_first_of("? ") == std::string_view::npos;
}

// A reader's decoding (RFC 2047, 6.2): encoded words become their text, blanks between
// two encoded words are dropped, everything else stays.
std::string DecodeHeaderText(std::string_view text) {
  std::string out;
  bool lastEncoded = false;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t wordAt = std::min(text.find_first_not_of(' ', i), text.size());
    const std::size_t wordEnd = std::min(text.find(' ', wordAt), text.size());
    const std::string_view blanks = text.substr(i, wordAt - i);
    const std::string_view word = text.substr(wordAt, wordEnd - wordAt);
    const bool encoded = IsEncodedWord(word);
    if (!(encoded && lastEncoded)) out += blanks;
    if (encoded) {
      out += eqd::Windows1251ToUtf8(
          eqd::Base64Decode(word.substr(kPrefix.size(), word.size() - kPrefix.size() - kSuffix.size())));
    } else {
      out += word;
    }
    lastEncoded = encoded && !word.empty();
    i = wordEnd;
  }
  return out;
}

std::string_view TrimLeadingBlanks(std::string_view s) {
  return s.substr(std::min(s.find_first_not_of(' '), s.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace eqd;
  const std::string text(reinterpret_cast<const char*>(data), size);

  const std::string encoded = EncodeHeaderText(text);
  const std::string field = FoldHeaderField("Subject", encoded);
  EQ_FUZZ_CHECK(fuzz::IsSoundHeaderField(field));
  const std::string_view value = TrimLeadingBlanks(encoded);
  EQ_FUZZ_CHECK(fuzz::Unfold(field) == (value.empty() ? std::string("Subject:") : "Subject: " + std::string(value)));
  if (fuzz::IsWellFormedUtf8(text) && FitsWindows1251(text)) EQ_FUZZ_CHECK(DecodeHeaderText(encoded) == text);

  // Names are encoded as a whole: words of at most 75 characters, one blank apart.
  const std::string words = EncodeWords(text);
  std::size_t at = 0;
  while (at < words.size()) {
    const std::size_t end = std::min(words.find(' ', at), words.size());
    EQ_FUZZ_CHECK(end - at <= kMaxEncodedWordLength);
    EQ_FUZZ_CHECK(IsEncodedWord(std::string_view(words).substr(at, end - at)));
    at = end + 1;
  }
  EQ_FUZZ_CHECK(fuzz::IsSoundHeaderField(FoldHeaderField("Content-Disposition", "attachment; filename=\"" + words + '"')));
  if (fuzz::IsWellFormedUtf8(text) && FitsWindows1251(text)) EQ_FUZZ_CHECK(DecodeHeaderText(words) == text);
  return 0;
}
