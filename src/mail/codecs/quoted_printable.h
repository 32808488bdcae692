// Quoted-printable (RFC 2045) encoding of a text body as a streaming filter.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace eqd {

// The input is text: CR LF, a lone LF and a lone CR each end a line and become a CR LF
// line break in the output. Printable ASCII other than '=' passes as it is; '=', control
// characters and bytes above 127 become "=XX"; a blank or tab at the end of a line is
// encoded so that no transport can strip it. Lines are kept to 76 characters with soft
// breaks ("=" CR LF), never splitting an "=XX". State (a held blank, a CR waiting for its
// LF, the column) carries over chunk boundaries.
class TQuotedPrintableEncoder {
 public:
  static constexpr std::size_t kMaxLineLength = 76;

  void Update(std::string_view data, std::string& out);
  // Writes what is held back: the text's end counts as the end of a line. The encoder can
  // then be reused.
  void Finish(std::string& out);

 private:
  std::size_t column_ = 0;   // characters on the current output line
  char heldBlank_ = 0;       // a blank or tab that may turn out to end the line
  bool heldCR_ = false;      // a CR whose LF may come with the next chunk
};

std::string QuotedPrintableEncode(std::string_view data);

}  // namespace eqd
