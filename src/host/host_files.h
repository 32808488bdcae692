// Files eqhost reads for its user: settings, message bodies, attachments to encode.
#pragma once

#include <string>

namespace eqd {

// The whole file as bytes. EHostError when it cannot be opened or read, or is a folder.
std::string ReadHostFile(const std::string& path);

}  // namespace eqd
