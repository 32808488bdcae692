// Replacing a file that holds a secret (a settings file with a refresh token): the new
// contents are written to a new file beside it, readable by the owner only, and renamed
// over the old one, so a reader finds the old file or the new one whole, never a part,
// and the secret is never in a file others may read.
#pragma once

#include <string>
#include <string_view>

#include "platform/os_error.h"

namespace eqd::platform {

// `path` is UTF-8. A symbolic link at `path` is replaced itself, not followed.
[[nodiscard]] OsErrorCode ReplaceFilePrivately(const std::string& path, std::string_view bytes);

}  // namespace eqd::platform
