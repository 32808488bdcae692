// The content type of an ordinary attachment, from the extension of its file name.
#pragma once

#include <string>
#include <string_view>

namespace eqd {

// Looks the extension up (letters in any case) in a table of common file types;
// "application/octet-stream" when it is unknown or the name has none.
std::string ContentTypeOfFileName(std::string_view fileName);

}  // namespace eqd
