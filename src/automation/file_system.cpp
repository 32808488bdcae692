#include "automation/file_system.h"

#include "automation/automation_texts.h"
#include "automation/errors.h"
#include "automation/file_names.h"
#include "platform/guid.h"

namespace eqd {
namespace {

std::string Reason(platform::OsErrorCode code) {
  return code == platform::kLinkNotFollowed ? texts::kLinkNotFollowed : platform::OsErrorText(code);
}

std::string Describe(const char* what, const std::string& path, platform::OsErrorCode code) {
  return std::string(what) + " '" + path + "': " + Reason(code);
}

}  // namespace

std::vector<std::string> LogFileNames(const std::string& FileName) {
  const std::size_t dot = FileName.rfind('.');
  const std::string stem = FileName.substr(0, dot);
  const std::string extension = dot == std::string::npos ? std::string() : FileName.substr(dot);
  std::string user = FolderNameFromIdentifier(platform::CurrentUserName());
  if (user.empty()) user = "user";
  // Another user can plant a file under a name they can guess, never under this one.
  static const std::string process = platform::NewGuidText().substr(1, 8);
  return {FileName, stem + "." + user + extension, stem + "." + user + "." + process + extension};
}

std::string GetSpecialFolder(int Folder) {
  std::string path = platform::GetSpecialFolder(Folder);
  if (path.empty()) throw EOSError(texts::kNoDataFolder);
  return path;
}

bool DirectoryExists(const std::string& Folder) { return platform::DirectoryExists(Folder); }

std::string IncludeTrailingPathDelimiter(std::string Path) { return platform::IncludeTrailingPathDelimiter(std::move(Path)); }

platform::TLogFolder OpenLogFolder(const std::string& Base, const std::vector<std::string>& Below,
                                   platform::TFolderCreation Creation) {
  platform::TLogFolder folder;
  if (const auto code = folder.Open(Base, Below, Creation)) {
    std::string path = IncludeTrailingPathDelimiter(Base);
    for (const std::string& name : Below) path += IncludeTrailingPathDelimiter(name);
    throw EOSError(Describe(texts::kCannotOpenLogFolder, path, code));
  }
  return folder;
}

TLogAppendStruct AppendToLogFile(const platform::TLogFolder& Folder, const std::string& FileName,
                                 std::string_view Bytes) {
  const std::vector<std::string> names = LogFileNames(FileName);
  const platform::OsErrorCode refused = Folder.Append(names[0], Bytes);
  if (refused == 0) return {FileName, {}};
  for (std::size_t i = 1; i < names.size(); ++i) {
    if (Folder.Append(names[i], Bytes) != 0) continue;
    return {names[i], std::string(texts::kLogFileRefused) + " '" + Folder.Path() + FileName + "': " + Reason(refused) +
                          texts::kLogFileInstead + " '" + Folder.Path() + names[i] + "'"};
  }
  throw EInOutError(Describe(texts::kCannotWriteFile, Folder.Path() + FileName, refused));
}

}  // namespace eqd
