// The folder and file operations of the logs, raising the core's errors: EOSError for
// folders, EInOutError for files, each with the path and the system's reason.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
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

bool DirectoryExists(const std::string& Folder);
std::string IncludeTrailingPathDelimiter(std::string Path);

// A log folder: Base as it is, then the folders of Below, never through a symbolic
// link, junction or mount point (platform::TLogFolder::Open). EOSError when it cannot
// be opened or made; a link in place of one of the folders is refused with its own text.
platform::TLogFolder OpenLogFolder(const std::string& Base, const std::vector<std::string>& Below,
                                   platform::TFolderCreation Creation);

struct TLogAppendStruct {
  std::string FileName;  // the file written, in the folder
  // When the file asked for could not be appended to safely: one sentence that says
  // which file, why, and where this user's lines went instead. Empty otherwise.
  std::string Note;
};

// The names AppendToLogFile tries for FileName ("<name>.log"), in order: the name
// itself; this user's own "<name>.<user>.log" (the user name as FolderNameFromIdentifier
// makes it); "<name>.<user>.<8 random characters>.log", the same for the whole process
// and unknown to anybody else, so nobody can plant a file under it beforehand.
std::vector<std::string> LogFileNames(const std::string& FileName);

// Appends Bytes to FileName in Folder. When that file cannot be appended to safely (a
// link, a pipe, a folder; on POSIX another user's file), the bytes go to the next of
// LogFileNames that can. EInOutError with the file asked for and its reason when none
// can be written.
TLogAppendStruct AppendToLogFile(const platform::TLogFolder& Folder, const std::string& FileName,
                                 std::string_view Bytes);

}  // namespace eqd
