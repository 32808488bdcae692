// Base64: any text decodes, in pieces split anywhere as in one piece, to 6 bits per
// alphabet character; any bytes encode (at any line length, in pieces) to lines of
// alphabet characters that decode back to them.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "mail/codecs/base64.h"

namespace {

bool IsAlphabet(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace eqd;
  FuzzedDataProvider in(data, size);
  const std::size_t lineLength = in.ConsumeIntegralInRange<std::size_t>(0, 100);
  const std::size_t split = in.ConsumeIntegral<std::uint16_t>();
  const std::string text = in.ConsumeRemainingBytesAsString();
  const std::size_t at = std::min(split, text.size());

  const std::string decoded = Base64Decode(text);
  const auto sextets = static_cast<std::size_t>(std::count_if(text.begin(), text.end(), IsAlphabet));
  EQ_FUZZ_CHECK(decoded.size() == sextets * 6 / 8);
  std::string pieces;
  TBase64Decoder decoder;
  decoder.Update(std::string_view(text).substr(0, at), pieces);
  decoder.Update(std::string_view(text).substr(at), pieces);
  decoder.Finish(pieces);
  EQ_FUZZ_CHECK(pieces == decoded);

  std::string encoded;
  TBase64Encoder encoder(lineLength);
  encoder.Update(std::string_view(text).substr(0, at), encoded);
  encoder.Update(std::string_view(text).substr(at), encoded);
  encoder.Finish(encoded);
  EQ_FUZZ_CHECK(encoded == Base64Encode(text, lineLength));
  EQ_FUZZ_CHECK(Base64Decode(encoded) == text);
  EQ_FUZZ_CHECK(encoded.size() >= 2 ? encoded.substr(encoded.size() - 2) != "\r\n" : true);
  const std::size_t width = lineLength / 4 * 4;
  std::size_t column = 0;
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    const char c = encoded[i];
    if (c == '\r') {
      EQ_FUZZ_CHECK(width != 0 && i + 1 < encoded.size() && encoded[i + 1] == '\n' && column == width);
      ++i;
      column = 0;
      continue;
    }
    EQ_FUZZ_CHECK(IsAlphabet(c) || c == '=');
    ++column;
    EQ_FUZZ_CHECK(width == 0 || column <= width);
  }
  return 0;
}
