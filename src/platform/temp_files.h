// Temporary files that hold attachment data handed over as text: the system's
// temporary folder, and files created there anew and deleted again. Paths are UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "platform/os_error.h"

namespace eqd::platform {

// The system's temporary folder with a trailing path delimiter: $TMPDIR or /tmp on
// Linux, the user's temporary folder on Windows. Empty when there is none.
std::string TempFolder();

// Creates one folder (its parent must exist). An existing folder is success.
[[nodiscard]] OsErrorCode CreateFolder(const std::string& path);

// Creates the file, which must not exist yet, and writes the bytes. A symbolic link in
// its place is not followed. Only the owner may read the file (POSIX mode 0600), and
// no other writer can open it while it is being written. When writing fails the
// partial file is removed.
[[nodiscard]] OsErrorCode WriteNewFile(const std::string& path, std::string_view bytes);

// Deletes the file; a file that does not exist is success.
[[nodiscard]] OsErrorCode DeleteFileIfExists(const std::string& path);

// Whether anything (file, folder, link) exists under this name.
bool PathExists(const std::string& path);

}  // namespace eqd::platform
