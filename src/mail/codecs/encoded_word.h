// Header texts outside ASCII (RFC 2047 encoded words, "B" encoding) and header folding.
//
// The charset of encoded words is the driver's 8-bit code page, windows-1251, the same as
// the body's. Characters that windows-1251 cannot hold become '?'.
#pragma once

#include <string>
#include <string_view>

namespace eqd {

inline constexpr std::string_view kHeaderCharset = "windows-1251";
// RFC 2047 caps an encoded word at 75 characters.
inline constexpr std::size_t kMaxEncodedWordLength = 75;
// The RFC 5322 cap on a header line, CR LF not counted.
inline constexpr std::size_t kMaxHeaderLineLength = 998;
// An ASCII word longer than this, counted with the blanks before it, is sent as encoded
// words, so that it can be split across header lines.
inline constexpr std::size_t kLongestPlainWord = 900;

// Whether a header text has to be encoded: it holds a character outside printable ASCII
// (blank allowed), or "=?", which a reader would take for the start of an encoded word.
bool NeedsEncoding(std::string_view utf8);

// The whole UTF-8 text as encoded words of at most 75 characters, joined by single blanks
// (a reader drops the blanks between encoded words). Used for display names and file
// names, which are encoded as a whole when NeedsEncoding says so.
std::string EncodeWords(std::string_view utf8);

// Unstructured text (a subject). The text is split at blanks into words; a word that needs
// encoding (see NeedsEncoding), or that with the blanks around it is too long ever to fit
// a header line, becomes encoded words, and ASCII words stay as they are. Neighbouring
// words that need encoding are encoded together with the blanks between them: encoded
// separately, a reader would drop those blanks and glue the words. Blanks between the
// rest are kept as they are; a run of blanks too long for a line goes into the encoded
// words next to it, so a reader still gets every blank back.
std::string EncodeHeaderText(std::string_view utf8);

// "Name: value" CR LF, folded before blanks of the value so that lines keep to 78
// characters where the value has a blank to fold at. A word is never split; the encoders
// above never produce a word long enough to break the 998-character line cap.
std::string FoldHeaderField(std::string_view name, std::string_view value);

}  // namespace eqd
