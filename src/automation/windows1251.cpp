#include "automation/windows1251.h"

#include <array>
#include <cstdint>

#include "platform/utf8.h"

namespace eqd {
namespace {

using platform::AppendUtf8;
using platform::DecodeUtf8;

// Code points of the bytes 0x80..0xFF; 0 marks the one byte (0x98) with no character.
constexpr std::array<char16_t, 128> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// The bytes 0xC0..0xFF are the letters А..я, U+0410..U+044F in order.
constexpr std::size_t kLettersAt = 0x40;
constexpr char32_t kFirstLetter = 0x0410;
static_assert([] {
  for (std::size_t k = kLettersAt; k < kHigh.size(); ++k)
    if (kHigh[k] != kFirstLetter + (k - kLettersAt)) return false;
  return true;
}());

// The Windows-1251 byte of a character, -1 for none (kInvalidUtf8 included). Letters
// are found at once; only the 63 other characters are looked up.
int ByteOf(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  if (cp >= kFirstLetter && cp < kFirstLetter + (kHigh.size() - kLettersAt))
    return static_cast<int>(0x80 + kLettersAt + (cp - kFirstLetter));
  for (std::size_t k = 0; k < kLettersAt; ++k)
    if (kHigh[k] != 0 && kHigh[k] == cp) return static_cast<int>(0x80 + k);
  return -1;
}

}  // namespace

std::string Utf8ToWindows1251(std::string_view utf8, char replacement) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const int b = ByteOf(DecodeUtf8(utf8, i));
    out += b < 0 ? replacement : static_cast<char>(b);
  }
  return out;
}

std::string Windows1251ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
    } else {
      const char16_t cp = kHigh[b - 0x80];
      AppendUtf8(out, cp == 0 ? char32_t{0xFFFD} : char32_t{cp});
    }
  }
  return out;
}

bool FitsWindows1251(std::string_view utf8) {
  for (std::size_t i = 0; i < utf8.size();)
    if (ByteOf(DecodeUtf8(utf8, i)) < 0) return false;
  return true;
}

}  // namespace eqd
