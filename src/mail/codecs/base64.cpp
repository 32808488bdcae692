#include "mail/codecs/base64.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace eqd {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Two output characters for every 12-bit value: a group of three bytes takes two lookups.
struct TPairTable {
  std::array<char, 2 * 4096> Chars{};
  constexpr TPairTable() {
    for (int v = 0; v < 4096; ++v) {
      Chars[2 * v] = kAlphabet[v >> 6];
      Chars[2 * v + 1] = kAlphabet[v & 63];
    }
  }
};
constexpr TPairTable kPairs;

// For each position in a group of four characters, the character's six bits already
// shifted into place; a character outside the alphabet sets bit 24 instead, so one OR of
// four lookups both decodes the group and tells whether all four were valid.
constexpr std::uint32_t kInvalid = 0x01000000u;
struct TDecodeTables {
  std::array<std::uint32_t, 256> Shifted[4]{};
  std::array<std::uint8_t, 256> Value{};  // 0xFF for characters outside the alphabet
  constexpr TDecodeTables() {
    for (int t = 0; t < 4; ++t)
      for (auto& x : Shifted[t]) x = kInvalid;
    for (auto& x : Value) x = 0xFF;
    for (int v = 0; v < 64; ++v) {
      const auto c = static_cast<unsigned char>(kAlphabet[v]);
      Value[c] = static_cast<std::uint8_t>(v);
      Shifted[0][c] = static_cast<std::uint32_t>(v) << 18;
      Shifted[1][c] = static_cast<std::uint32_t>(v) << 12;
      Shifted[2][c] = static_cast<std::uint32_t>(v) << 6;
      Shifted[3][c] = static_cast<std::uint32_t>(v);
    }
  }
};
constexpr TDecodeTables kDecode;

inline char* EncodeGroups(const unsigned char* in, std::size_t groups, char* out) {
  for (std::size_t g = 0; g < groups; ++g, in += 3, out += 4) {
    const std::uint32_t v = (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
    std::memcpy(out, &kPairs.Chars[2 * (v >> 12)], 2);
    std::memcpy(out + 2, &kPairs.Chars[2 * (v & 0xFFF)], 2);
  }
  return out;
}

}  // namespace

TBase64Encoder::TBase64Encoder(std::size_t lineLength) : lineLength_(lineLength / 4 * 4) {}

void TBase64Encoder::Update(std::string_view data, std::string& out) {
  auto p = reinterpret_cast<const unsigned char*>(data.data());
  std::size_t n = data.size();
  if (pendingCount_ > 0) {
    while (pendingCount_ < 3 && n > 0) {
      pending_[pendingCount_++] = *p++;
      --n;
    }
    if (pendingCount_ < 3) return;
    pendingCount_ = 0;
    EncodeTail(pending_, 3, out);
  }
  const std::size_t groups = n / 3;
  if (groups > 0) {
    const std::size_t chars = groups * 4;
    const std::size_t breaks = lineLength_ == 0 ? 0 : chars / lineLength_ + 1;
    const std::size_t start = out.size();
    out.resize(start + chars + 2 * breaks);
    char* w = out.data() + start;
    std::size_t left = groups;
    if (lineLength_ == 0) {
      w = EncodeGroups(p, left, w);
    } else {
      const unsigned char* in = p;
      while (left > 0) {
        if (column_ == lineLength_) {
          *w++ = '\r';
          *w++ = '\n';
          column_ = 0;
        }
        std::size_t run = (lineLength_ - column_) / 4;
        if (run > left) run = left;
        w = EncodeGroups(in, run, w);
        in += run * 3;
        left -= run;
        column_ += run * 4;
      }
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
    p += groups * 3;
    n -= groups * 3;
  }
  for (; n > 0; --n) pending_[pendingCount_++] = *p++;
}

void TBase64Encoder::EncodeTail(const unsigned char* p, std::size_t n, std::string& out) {
  if (lineLength_ != 0 && column_ == lineLength_) {
    out += "\r\n";
    column_ = 0;
  }
  const std::uint32_t v = (std::uint32_t{p[0]} << 16) | (n > 1 ? std::uint32_t{p[1]} << 8 : 0u) |
                          (n > 2 ? std::uint32_t{p[2]} : 0u);
  char group[4] = {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], kAlphabet[(v >> 6) & 63],
                   kAlphabet[v & 63]};
  if (n < 3) group[3] = '=';
  if (n < 2) group[2] = '=';
  out.append(group, 4);
  column_ += 4;
}

void TBase64Encoder::Finish(std::string& out) {
  if (pendingCount_ > 0) EncodeTail(pending_, pendingCount_, out);
  pendingCount_ = 0;
  column_ = 0;
}

void TBase64Decoder::Update(std::string_view text, std::string& out) {
  auto p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  const std::size_t start = out.size();
  out.resize(start + (n / 4 + 1) * 3);
  auto w = reinterpret_cast<unsigned char*>(out.data() + start);
  std::size_t i = 0;
  while (i < n) {
    if (count_ == 0) {
      // Whole groups of four alphabet characters: the common case, one test per group.
      while (i + 4 <= n) {
        const std::uint32_t v = kDecode.Shifted[0][p[i]] | kDecode.Shifted[1][p[i + 1]] |
                                kDecode.Shifted[2][p[i + 2]] | kDecode.Shifted[3][p[i + 3]];
        if (v >= kInvalid) break;
        w[0] = static_cast<unsigned char>(v >> 16);
        w[1] = static_cast<unsigned char>(v >> 8);
        w[2] = static_cast<unsigned char>(v);
        w += 3;
        i += 4;
      }
      if (i == n) break;
    }
    // One character at a time until a group boundary is reached again.
    const std::uint8_t v = kDecode.Value[p[i++]];
    if (v == 0xFF) continue;
    accumulator_ = (accumulator_ << 6) | v;
    if (++count_ == 4) {
      w[0] = static_cast<unsigned char>(accumulator_ >> 16);
      w[1] = static_cast<unsigned char>(accumulator_ >> 8);
      w[2] = static_cast<unsigned char>(accumulator_);
      w += 3;
      accumulator_ = 0;
      count_ = 0;
    }
  }
  out.resize(static_cast<std::size_t>(reinterpret_cast<char*>(w) - out.data()));
}

void TBase64Decoder::Finish(std::string& out) {
  // Two sextets hold one byte, three hold two; one alone holds no whole byte.
  if (count_ == 2) {
    out += static_cast<char>((accumulator_ >> 4) & 0xFF);
  } else if (count_ == 3) {
    out += static_cast<char>((accumulator_ >> 10) & 0xFF);
    out += static_cast<char>((accumulator_ >> 2) & 0xFF);
  }
  accumulator_ = 0;
  count_ = 0;
}

std::string Base64Encode(std::string_view data, std::size_t lineLength) {
  std::string out;
  TBase64Encoder e(lineLength);
  e.Update(data, out);
  e.Finish(out);
  return out;
}

std::string Base64Decode(std::string_view text) {
  std::string out;
  TBase64Decoder d;
  d.Update(text, out);
  d.Finish(out);
  return out;
}

}  // namespace eqd
