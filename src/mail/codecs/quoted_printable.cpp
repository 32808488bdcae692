#include "mail/codecs/quoted_printable.h"

#include <array>
#include <cstdint>

namespace eqd {
namespace {

enum TByteClass : std::uint8_t { bcLiteral, bcEncoded, bcBlank, bcCR, bcLF };

struct TClassTable {
  std::array<TByteClass, 256> Class{};
  constexpr TClassTable() {
    for (int c = 0; c < 256; ++c)
      Class[c] = (c >= 33 && c <= 126 && c != '=') ? bcLiteral : bcEncoded;
    Class[' '] = bcBlank;
    Class['\t'] = bcBlank;
    Class['\r'] = bcCR;
    Class['\n'] = bcLF;
  }
};
constexpr TClassTable kClasses;
constexpr char kHex[] = "0123456789ABCDEF";

// Room kept on a line for the '=' of a soft break.
constexpr std::size_t kTextPerLine = TQuotedPrintableEncoder::kMaxLineLength - 1;

// Writes into a buffer sized in advance for the worst case.
struct TWriter {
  char* W;
  std::size_t& Column;

  void SoftBreakFor(std::size_t width) {
    if (Column + width > kTextPerLine) {
      W[0] = '=';
      W[1] = '\r';
      W[2] = '\n';
      W += 3;
      Column = 0;
    }
  }
  void Literal(char c) {
    SoftBreakFor(1);
    *W++ = c;
    ++Column;
  }
  void Encoded(unsigned char c) {
    SoftBreakFor(3);
    W[0] = '=';
    W[1] = kHex[c >> 4];
    W[2] = kHex[c & 15];
    W += 3;
    Column += 3;
  }
  void LineBreak() {
    W[0] = '\r';
    W[1] = '\n';
    W += 2;
    Column = 0;
  }
};

}  // namespace

void TQuotedPrintableEncoder::Update(std::string_view data, std::string& out) {
  const std::size_t start = out.size();
  // Every byte gives at most three characters, every line at most three more.
  const std::size_t worst = 3 * data.size() + 3 * (3 * data.size() / (kTextPerLine - 3) + 2) + 8;
  out.resize(start + worst);
  TWriter w{out.data() + start, column_};
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  const std::size_t n = data.size();
  std::size_t i = 0;
  while (i < n) {
    // The common case in a tight loop: nothing held back and room on the line for an
    // "=XX", so no soft break can be due.
    if (!heldCR_ && !heldBlank_) {
      char* o = w.W;
      std::size_t column = column_;
      for (; i < n && column + 3 <= kTextPerLine; ++i) {
        const unsigned char c = p[i];
        const TByteClass cls = kClasses.Class[c];
        if (cls == bcLiteral) {
          *o++ = static_cast<char>(c);
          ++column;
        } else if (cls == bcEncoded) {
          o[0] = '=';
          o[1] = kHex[c >> 4];
          o[2] = kHex[c & 15];
          o += 3;
          column += 3;
        } else {
          break;
        }
      }
      w.W = o;
      column_ = column;
      if (i == n) break;
    }
    const unsigned char c = p[i++];
    const char ch = static_cast<char>(c);
    const TByteClass cls = kClasses.Class[c];
    if (heldCR_) {
      heldCR_ = false;
      w.LineBreak();
      if (cls == bcLF) continue;  // the LF of a CR LF pair
    }
    switch (cls) {
      case bcLiteral:
        if (heldBlank_) {
          w.Literal(heldBlank_);
          heldBlank_ = 0;
        }
        w.Literal(ch);
        break;
      case bcEncoded:
        if (heldBlank_) {
          w.Literal(heldBlank_);
          heldBlank_ = 0;
        }
        w.Encoded(c);
        break;
      case bcBlank:
        if (heldBlank_) w.Literal(heldBlank_);
        heldBlank_ = ch;
        break;
      case bcCR:
      case bcLF:
        if (heldBlank_) {
          w.Encoded(static_cast<unsigned char>(heldBlank_));
          heldBlank_ = 0;
        }
        if (cls == bcCR)
          heldCR_ = true;
        else
          w.LineBreak();
        break;
    }
  }
  out.resize(static_cast<std::size_t>(w.W - out.data()));
}

void TQuotedPrintableEncoder::Finish(std::string& out) {
  if (heldBlank_) {
    const auto c = static_cast<unsigned char>(heldBlank_);
    if (column_ + 3 > kTextPerLine) {
      out += "=\r\n";
      column_ = 0;
    }
    out += '=';
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  if (heldCR_) out += "\r\n";
  heldBlank_ = 0;
  heldCR_ = false;
  column_ = 0;
}

std::string QuotedPrintableEncode(std::string_view data) {
  std::string out;
  TQuotedPrintableEncoder e;
  e.Update(data, out);
  e.Finish(out);
  return out;
}

}  // namespace eqd
