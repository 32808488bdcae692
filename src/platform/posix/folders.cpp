#include "platform/folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/files.h"

namespace eqd::platform {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::string(v) : std::string();
}

std::string HomeFolder() {
  std::string home = Env("HOME");
  if (!home.empty()) return home;
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd pw{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found != nullptr && found->pw_dir != nullptr)
    return found->pw_dir;
  return {};
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

OsErrorCode GrantEveryoneFullAccess(const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  constexpr mode_t kOpen = S_ISVTX | S_IRWXU | S_IRWXG | S_IRWXO;  // 1777
  if ((st.st_mode & kOpen) != kOpen) (void)::chmod(folder.c_str(), (st.st_mode & 07777) | kOpen);
  return 0;
}

}  // namespace eqd::platform
