// Throughput of the codecs that carry attachments and the body: Base64 encoding with MIME
// line breaks and decoding of such text, quoted-printable encoding of windows-1251 HTML,
// and the conversion of Russian UTF-8 text (a body, a trace line) to windows-1251.
// Input is fed in the chunk size the composer uses.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "automation/windows1251.h"
#include "mail/codecs/base64.h"
#include "mail/codecs/quoted_printable.h"
#include "mail/mime/mime_composer.h"

namespace {

constexpr std::size_t kSize = 8 << 20;

std::string RandomBytes(std::size_t n) {
  std::mt19937_64 random(42);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(random());
  return s;
}

// Russian HTML in windows-1251: letters above 127 (encoded), markup, blanks, line breaks.
std::string CyrillicHtml(std::size_t n) {
  const std::string line =
      "<p>\xC7\xE4\xF0\xE0\xE2\xF1\xF2\xE2\xF3\xE9\xF2\xE5, \xE2\xE0\xF8 \xF1\xF7\xB8\xF2 = 1 250,00 "
      "\xF0\xF3\xE1. <b>\xEE\xEF\xEB\xE0\xF7\xE5\xED</b></p>\r\n";
  std::string s;
  while (s.size() < n) s += line;
  s.resize(n);
  return s;
}

template <class TFilter>
void Run(benchmark::State& state, const std::string& input, std::size_t chunk, TFilter filter) {
  std::string out;
  out.reserve(input.size() * 3 + 1024);
  for (auto _ : state) {
    out.clear();
    for (std::size_t at = 0; at < input.size(); at += chunk)
      filter.Update(std::string_view(input).substr(at, chunk), out);
    filter.Finish(out);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_Base64Encode(benchmark::State& state) {
  static const std::string input = RandomBytes(kSize);
  Run(state, input, eqd::TMimeComposer::kFileChunk, eqd::TBase64Encoder(76));
}

void BM_Base64Decode(benchmark::State& state) {
  static const std::string input = eqd::Base64Encode(RandomBytes(kSize), 76);
  Run(state, input, 64 * 1024, eqd::TBase64Decoder());
}

void BM_QuotedPrintableEncode(benchmark::State& state) {
  static const std::string input = CyrillicHtml(kSize);
  Run(state, input, 24 * 1024, eqd::TQuotedPrintableEncoder());
}

void BM_QuotedPrintableEncodeAscii(benchmark::State& state) {
  static const std::string input = [] {
    std::string s;
    while (s.size() < kSize) s += "<tr><td class=\"amount\">1250.00</td><td>Invoice paid in full</td></tr>\r\n";
    return s;
  }();
  Run(state, input, 24 * 1024, eqd::TQuotedPrintableEncoder());
}

void BM_Utf8ToWindows1251(benchmark::State& state) {
  static const std::string input = eqd::Windows1251ToUtf8(CyrillicHtml(kSize));
  for (auto _ : state) benchmark::DoNotOptimize(eqd::Utf8ToWindows1251(input));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

}  // namespace

BENCHMARK(BM_Base64Encode);
BENCHMARK(BM_Base64Decode);
BENCHMARK(BM_QuotedPrintableEncode);
BENCHMARK(BM_QuotedPrintableEncodeAscii);
BENCHMARK(BM_Utf8ToWindows1251);
