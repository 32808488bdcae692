// Files and folders: the few operations the logs need. Paths are UTF-8.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os_error.h"

namespace eqd::platform {

#ifdef _WIN32
inline constexpr char kPathDelimiter = '\\';
#else
inline constexpr char kPathDelimiter = '/';
#endif

// Error numbers of our own (the system's are positive), with texts from OsErrorText.
inline constexpr OsErrorCode kNotARegularFile = -2;  // a pipe, a device, a folder
inline constexpr OsErrorCode kLinkNotFollowed = -3;  // a symbolic link, junction or mount point
inline constexpr OsErrorCode kNotOwnFile = -4;       // another user's file, or one with a second name

// The path with one path delimiter at its end (an empty path stays empty).
std::string IncludeTrailingPathDelimiter(std::string path);

// Whether the path names an existing directory (a link to one counts).
bool DirectoryExists(const std::string& path);

// Whether the path names an existing file that is not a directory.
bool FileExists(const std::string& path);

// Creates the folder and every missing parent. An existing folder is success.
[[nodiscard]] OsErrorCode ForceDirectories(const std::string& path);

// Appends the bytes at the end of the file, creating it when missing, in one
// open-write-close. Only a regular file is written: a symbolic link or junction in place
// of the file is refused rather than followed (kLinkNotFollowed), and so is anything that
// is not a regular file (kNotARegularFile: a pipe, a device, a folder), so a writable
// shared folder cannot be used to redirect what is written. On POSIX the file must also
// be this user's own with no second name (kNotOwnFile): another user's file would hand
// them what is written, a hard link could be any file of ours. A new file is this user's
// only (mode 0600); on Windows it takes the folder's inherited permissions.
[[nodiscard]] OsErrorCode AppendToFile(const std::string& path, std::string_view bytes);

// How TLogFolder::Open treats the folders below its base.
enum TFolderCreation {
  fcOpenOnly,      // every folder must exist
  fcCreate,        // missing folders are made
  fcCreateShared,  // as fcCreate; the last folder, when this call made it, is opened to
                   // every local user (GrantEveryoneFullAccess, folders.h)
};

// A folder the logs write into, held open while lines are appended, so that no part of
// its path can be swapped for a link meanwhile (POSIX: files are opened relative to the
// folder's descriptor; Windows: a handle on each folder below the base keeps it from
// being renamed or deleted).
class TLogFolder {
 public:
  TLogFolder();
  ~TLogFolder();
  TLogFolder(TLogFolder&&) noexcept;
  TLogFolder& operator=(TLogFolder&&) noexcept;

  // Opens `base` as it is (the data folder or a folder the host chose: their owners'
  // choice, links included), then each name of `below` inside the one before without
  // following a symbolic link, junction or mount point: such a link, or a file, in place
  // of one of them is refused (kLinkNotFollowed, ENOTDIR / ERROR_DIRECTORY). A folder
  // that existed is used with the permissions it has; only a folder made by this call
  // is opened to every user (fcCreateShared). The names hold no path delimiter.
  [[nodiscard]] OsErrorCode Open(const std::string& base, const std::vector<std::string>& below,
                                 TFolderCreation creation);

  // The folder's path with a trailing delimiter.
  const std::string& Path() const;

  // AppendToFile for the file `name` (no delimiter) in the open folder.
  [[nodiscard]] OsErrorCode Append(const std::string& name, std::string_view bytes) const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
};

}  // namespace eqd::platform
