#include "platform/folders.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/files.h"
#include "platform/posix/folder_access.h"
#include "platform/posix/handles.h"

namespace eqd::platform {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::string(v) : std::string();
}

// A field of the user's entry in the user database; empty when there is none.
std::string UserEntryField(uid_t uid, char* passwd::*field) {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd pw{};
  passwd* found = nullptr;
  if (::getpwuid_r(uid, &pw, buf.data(), buf.size(), &found) == 0 && found != nullptr && found->*field != nullptr)
    return found->*field;
  return {};
}

std::string HomeFolder() {
  std::string home = Env("HOME");
  if (!home.empty()) return home;
  return UserEntryField(::getuid(), &passwd::pw_dir);
}

// The folder with a trailing delimiter once it exists; empty when it cannot be made.
std::string Existing(const std::string& folder) {
  if (folder.empty() || folder.front() != '/' || ForceDirectories(folder) != 0) return {};
  return IncludeTrailingPathDelimiter(folder);
}

std::string UserDataFolder() {
  const std::string xdg = Env("XDG_DATA_HOME");
  if (!xdg.empty() && xdg.front() == '/') return Existing(xdg);
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : Existing(home + "/.local/share");
}

}  // namespace

std::string GetSpecialFolder(int folder) {
  const std::string redirected = Env(kDataDirVariable);
  if (!redirected.empty()) return Existing(redirected);
  if (folder == kFolderCommonAppData && ::access("/var/lib", W_OK) == 0) return "/var/lib/";
  return UserDataFolder();
}

std::string CurrentUserName() {
  const uid_t uid = ::geteuid();
  const std::string name = UserEntryField(uid, &passwd::pw_name);
  return name.empty() ? std::to_string(uid) : name;
}

OsErrorCode OpenToEveryone(int fd, const struct stat& st) {
  if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  constexpr mode_t kOpen = S_ISVTX | S_IRWXU | S_IRWXG | S_IRWXO;  // 1777
  if ((st.st_mode & kOpen) != kOpen) (void)::fchmod(fd, (st.st_mode & 07777) | kOpen);
  return 0;
}

OsErrorCode GrantEveryoneFullAccess(const std::string& folder) {
  // The folder itself, never what a link in its place points to.
  const TFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st {};
  if (!fd) {
    const OsErrorCode error = errno;
    return ::lstat(folder.c_str(), &st) == 0 && S_ISLNK(st.st_mode) ? kLinkNotFollowed : error;
  }
  if (::fstat(fd.Get(), &st) != 0) return errno;
  return OpenToEveryone(fd.Get(), st);
}

}  // namespace eqd::platform
