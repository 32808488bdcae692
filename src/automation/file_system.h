// The folder and file operations of the logs, raising the core's errors: EOSError for
// folders, EInOutError for files, each with the path and the system's reason.
#pragma once

#include <string>
#include <string_view>

#include "platform/folders.h"

namespace eqd {

// Folder numbers of GetSpecialFolder (the Windows shell's CSIDL values).
enum TSpecialFolder : int {
  sfAppData = platform::kFolderAppData,
  sfLocalAppData = platform::kFolderLocalAppData,
  sfCommonAppData = platform::kFolderCommonAppData,
};

// The folder with a trailing path delimiter, created when missing; falls back to the
// user's application data folder; EOSError when there is none at all. On Linux the
// environment variable VLM_DODEZOZ41_DATA_DIR, when set, is every such folder.
std::string GetSpecialFolder(int Folder);

// Opens the folder to every local user (platform/folders.h); EOSError when its
// permissions cannot be read (a folder that does not exist, for example).
void GrantEveryoneFullAccess(const std::string& Folder);

// Creates the folder with all missing parents; EOSError on failure.
void ForceDirectories(const std::string& Folder);

bool DirectoryExists(const std::string& Folder);
std::string IncludeTrailingPathDelimiter(std::string Path);

// Appends the bytes to the file in one open-write-close, creating the file when
// missing and never following a symbolic link; EInOutError on failure.
void AppendToFile(const std::string& FileName, std::string_view Bytes);

}  // namespace eqd
