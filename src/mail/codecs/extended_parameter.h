// Header parameters whose value holds more than ASCII, in the RFC 2231 form that current
// mail readers take first: filename*=UTF-8''%D0%9E%D1%82%D1%87%D1%91%D1%82.pdf
#pragma once

#include <string>
#include <string_view>

namespace eqd {

// The parameter `name` with the UTF-8 text as its value: "name*=UTF-8''" and the text
// percent-encoded when that fits a folded header line, else numbered sections
// "name*0*=UTF-8''…; name*1*=…", each short enough for a line of its own and split
// between characters (a reader that decodes the sections one by one gets whole
// characters). Several sections are joined by "; ", where FoldHeaderField folds.
// Letters, digits and "!#$&+-.^_`|~" stay as they are; every other byte is "%XX".
std::string ExtendedParameter(std::string_view name, std::string_view utf8);

}  // namespace eqd
