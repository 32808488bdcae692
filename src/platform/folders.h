// The folders the driver writes into, opening a folder to every local user, and the user
// the driver writes as.
#pragma once

#include <string>

#include "platform/os_error.h"

namespace eqd::platform {

// Folder numbers, equal to the Windows shell's CSIDL values.
inline constexpr int kFolderAppData = 0x001A;        // the user's application data
inline constexpr int kFolderLocalAppData = 0x001C;   // the user's local application data
inline constexpr int kFolderCommonAppData = 0x0023;  // application data of the machine

// When set and not empty, every folder above is this one (tests point it at their
// own temporary folder; an administrator may point it anywhere).
inline constexpr const char* kDataDirVariable = "VLM_DODEZOZ41_DATA_DIR";

// The folder with a trailing path delimiter, created when it does not exist yet. A
// folder that cannot be found falls back to the user's application data folder;
// when that cannot be found either, the result is empty.
//
// On Linux the machine's folder is /var/lib when this process may write there,
// otherwise the user's data folder: $XDG_DATA_HOME, or ~/.local/share.
std::string GetSpecialFolder(int folder);

// Lets every local user create files in the folder and keeps each user's files safe
// from the others: on Linux mode 1777 (like /tmp), on Windows an inherited full-access
// entry for Everyone. A folder that already allows this is left as it is. The folder
// itself is changed, never what a symbolic link or junction in its place points to
// (kLinkNotFollowed, files.h). Failing to read the folder's permissions is an error;
// failing to change them is ignored, as the folder may belong to another user who has
// opened it already.
[[nodiscard]] OsErrorCode GrantEveryoneFullAccess(const std::string& folder);

// The name of the user this process acts as (POSIX: the effective user; its number when
// it has no name); empty when the system cannot tell.
std::string CurrentUserName();

}  // namespace eqd::platform
