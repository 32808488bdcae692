// Files and folders: the few operations the logs need. Paths are UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "platform/os_error.h"

namespace eqd::platform {

#ifdef _WIN32
inline constexpr char kPathDelimiter = '\\';
#else
inline constexpr char kPathDelimiter = '/';
#endif

// The path with one path delimiter at its end (an empty path stays empty).
std::string IncludeTrailingPathDelimiter(std::string path);

// Whether the path names an existing directory (a link to one counts).
bool DirectoryExists(const std::string& path);

// Whether the path names an existing file that is not a directory.
bool FileExists(const std::string& path);

// Creates the folder and every missing parent. An existing folder is success.
[[nodiscard]] OsErrorCode ForceDirectories(const std::string& path);

// Appends the bytes at the end of the file, creating it when missing, in one
// open-write-close. A symbolic link in place of the file is refused rather than
// followed, and so is anything that is not a regular file (a pipe, a device), so a
// writable shared folder cannot be used to redirect what is written.
[[nodiscard]] OsErrorCode AppendToFile(const std::string& path, std::string_view bytes);

}  // namespace eqd::platform
