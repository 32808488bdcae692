// Temporary files that hold attachment data handed over as text: the system's
// temporary folder, a private folder made there, and files created there anew and
// deleted again. Paths are UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "platform/os_error.h"
#include "platform/read_only_file.h"

namespace eqd::platform {

// The system's temporary folder with a trailing path delimiter: $TMPDIR or /tmp on
// Linux, the user's temporary folder on Windows. Empty when there is none.
std::string TempFolder();

// Makes a new folder `parent` + `prefix` + random characters that did not exist before
// (a folder, file or link already there under that name is never used) and sets `path`
// to it, without a trailing delimiter. On POSIX only the owner may enter it (mode 0700);
// on Windows it takes the parent's permissions, the user's own temporary folder being
// private already.
[[nodiscard]] OsErrorCode CreatePrivateFolder(const std::string& parent, const std::string& prefix, std::string& path);

// Creates one new folder (its parent must exist); anything already there under that
// name is an error. On POSIX only the owner may enter it (mode 0700).
[[nodiscard]] OsErrorCode CreateNewFolder(const std::string& path);

// Removes an empty folder; a folder that does not exist is success.
[[nodiscard]] OsErrorCode RemoveEmptyFolder(const std::string& path);

// Creates the file, which must not exist yet, writes the bytes and sets `written` to
// the file's identity. A symbolic link in its place is not followed. Only the owner may
// read the file (POSIX mode 0600), and no other writer can open it while it is being
// written. When writing fails the partial file is removed.
[[nodiscard]] OsErrorCode WriteNewFile(const std::string& path, std::string_view bytes, TFileIdentity& written);

// Deletes the file; a file that does not exist is success.
[[nodiscard]] OsErrorCode DeleteFileIfExists(const std::string& path);

}  // namespace eqd::platform
