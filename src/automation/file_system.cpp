#include "automation/file_system.h"

#include "automation/automation_texts.h"
#include "automation/errors.h"
#include "platform/files.h"

namespace eqd {
namespace {

std::string Describe(const char* what, const std::string& path, platform::OsErrorCode code) {
  std::string out = what;
  out += " '";
  out += path;
  out += "': ";
  out += platform::OsErrorText(code);
  return out;
}

}  // namespace

std::string GetSpecialFolder(int Folder) {
  std::string path = platform::GetSpecialFolder(Folder);
  if (path.empty()) throw EOSError(texts::kNoDataFolder);
  return path;
}

void GrantEveryoneFullAccess(const std::string& Folder) {
  if (const auto code = platform::GrantEveryoneFullAccess(Folder)) throw EOSError(Describe(texts::kCannotOpenFolder, Folder, code));
}

void ForceDirectories(const std::string& Folder) {
  if (const auto code = platform::ForceDirectories(Folder)) throw EOSError(Describe(texts::kCannotCreateFolder, Folder, code));
}

bool DirectoryExists(const std::string& Folder) { return platform::DirectoryExists(Folder); }

std::string IncludeTrailingPathDelimiter(std::string Path) { return platform::IncludeTrailingPathDelimiter(std::move(Path)); }

void AppendToFile(const std::string& FileName, std::string_view Bytes) {
  if (const auto code = platform::AppendToFile(FileName, Bytes)) throw EInOutError(Describe(texts::kCannotWriteFile, FileName, code));
}

}  // namespace eqd
