// Quoted-printable: any bytes, fed in pieces split anywhere, encode to the same lines of
// at most 76 printable characters (blanks and tabs inside), none ending in a blank, and decode back to the text
// with its line ends made CR LF.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>

#include "fuzz_check.h"
#include "mail/codecs/quoted_printable.h"

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The decoder of RFC 2045, strict: anything the encoder must not write fails the check.
std::string Decode(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '=') {
      out += c;
      continue;
    }
    EQ_FUZZ_CHECK(i + 2 < text.size());
    if (text[i + 1] == '\r') {
      EQ_FUZZ_CHECK(text[i + 2] == '\n');  // a soft line break
    } else {
      const int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
      EQ_FUZZ_CHECK(hi >= 0 && lo >= 0);
      out += static_cast<char>(hi * 16 + lo);
    }
    i += 2;
  }
  return out;
}

std::string CrLfLineEnds(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      out += "\r\n";
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace eqd;
  FuzzedDataProvider in(data, size);
  const std::size_t split = in.ConsumeIntegral<std::uint16_t>();
  const std::string text = in.ConsumeRemainingBytesAsString();
  const std::size_t at = std::min(split, text.size());

  const std::string encoded = QuotedPrintableEncode(text);
  std::string pieces;
  TQuotedPrintableEncoder encoder;
  encoder.Update(std::string_view(text).substr(0, at), pieces);
  encoder.Update(std::string_view(text).substr(at), pieces);
  encoder.Finish(pieces);
  EQ_FUZZ_CHECK(pieces == encoded);

  std::size_t lineStart = 0;
  while (lineStart <= encoded.size()) {
    const std::size_t end = std::min(encoded.find("\r\n", lineStart), encoded.size());
    const std::string_view line = std::string_view(encoded).substr(lineStart, end - lineStart);
    EQ_FUZZ_CHECK(line.size() <= TQuotedPrintableEncoder::kMaxLineLength);
    for (const char c : line) EQ_FUZZ_CHECK(c == ' ' || c == '\t' || (c > ' ' && c < 0x7F));
    EQ_FUZZ_CHECK(line.empty() || (line.back() != ' ' && line.back() != '\t'));
    lineStart = end + 2;
  }
  EQ_FUZZ_CHECK(Decode(encoded) == CrLfLineEnds(text));
  return 0;
}
