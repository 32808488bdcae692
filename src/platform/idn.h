// International domain names: the ASCII form a mail server and the DNS take.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace eqd::platform {

// The domain with every label that holds characters outside ASCII turned into its A-label
// ("пример.рф" → "xn--e1afmkfd.xn--p1ai"), by IDNA 2008 with the UTS #46 mapping: letters
// folded to lower case, full-width letters and dots mapped to their plain forms, the text
// normalized. `domain` is UTF-8. Nothing when the name cannot be converted: malformed
// UTF-8, a character IDNA does not allow, a label too long.
std::optional<std::string> DomainToAscii(std::string_view domain);

}  // namespace eqd::platform
