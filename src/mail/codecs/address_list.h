// Address lists as people type them (RFC 5322 address-list, leniently): entries separated
// by "," or ";", each an address alone or a display name followed by the address in angle
// brackets; quoted names, comments in parentheses; empty entries skipped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace eqd {

struct TMailAddressStruct {
  std::string DisplayName;  // UTF-8, unquoted, blanks around it removed; may be empty
  std::string Address;      // the address itself ("local@domain"), blanks around it removed
};

// Splits and parses the list. Nothing is refused here: an entry that is not an address
// still gives an element, and IsValidMailAddress tells. Rules:
//  - "," and ";" separate entries outside quotes, comments and angle brackets;
//  - "Name <addr>": the display name is the text before "<", quotes and backslash
//    escapes removed, runs of blanks and line breaks outside quotes made one blank;
//  - "addr" alone: the entry's text without comments; comments there ("addr (Name)")
//    give the display name;
//  - comments "(...)" nest and are otherwise dropped;
//  - an entry holding nothing but blanks and comments is skipped;
//  - an entry that is not well formed (a "<" left open, a second "<", a ">" outside
//    angle brackets, text after the closing ">") gives its whole text as the address and
//    no display name: IsValidMailAddress refuses it, and the error shows what was given.
std::vector<TMailAddressStruct> ParseAddressList(std::string_view text);

// An address that cannot break an SMTP command or a header: not empty, no control
// character (CR, LF, NUL, tab and the rest), no "<" or ">", and no blank, "," or ";"
// outside a quoted part. Whether the address exists or is acceptable otherwise ("@",
// letters outside ASCII) is the server's to decide.
bool IsValidMailAddress(std::string_view address);

// The mailbox as a header shows it: the address alone, or the display name and the
// address in angle brackets. A display name outside ASCII, or with a word or a run of
// blanks too long for a header line, is sent as encoded words; one with characters that
// are special in a header is quoted.
std::string FormatMailbox(const TMailAddressStruct& mailbox);

}  // namespace eqd
