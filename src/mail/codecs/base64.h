// Base64 (RFC 4648 alphabet) as streaming filters: feed any number of chunks, each call
// appends its output to a string, and the state carries over chunk boundaries, so a file
// can be encoded or decoded piece by piece with constant memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace eqd {

// Encodes with '=' padding. With a line length (76 for MIME bodies) the output is broken
// into lines of that many characters joined by CR LF; the break is written only when the
// next line starts, so the output never ends with CR LF. A line length of 0 gives one
// unbroken line. The line length is rounded down to a multiple of 4.
class TBase64Encoder {
 public:
  static constexpr std::size_t kMimeLineLength = 76;

  explicit TBase64Encoder(std::size_t lineLength = kMimeLineLength);

  void Update(std::string_view data, std::string& out);
  // Writes the last incomplete group with its padding. The encoder can then be reused.
  void Finish(std::string& out);

 private:
  void EncodeTail(const unsigned char* p, std::size_t n, std::string& out);

  std::size_t lineLength_;
  std::size_t column_ = 0;       // characters on the current output line
  unsigned char pending_[3]{};   // input bytes not yet forming a group of three
  std::size_t pendingCount_ = 0;
};

// Decodes Base64 text. Characters outside the alphabet (line breaks, blanks, '=' padding,
// anything else) are skipped, so decoding never fails; bits at the end that do not fill
// a byte are dropped.
class TBase64Decoder {
 public:
  void Update(std::string_view text, std::string& out);
  // Drops the incomplete tail. The decoder can then be reused.
  void Finish(std::string& out);

 private:
  unsigned accumulator_ = 0;  // sextets collected of the current group
  int count_ = 0;             // how many (0..3)
};

// Whole-buffer helpers.
std::string Base64Encode(std::string_view data, std::size_t lineLength = 0);
std::string Base64Decode(std::string_view text);

}  // namespace eqd
