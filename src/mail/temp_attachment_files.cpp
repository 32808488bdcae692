#include "mail/temp_attachment_files.h"

#include "automation/errors.h"
#include "mail/email_client_texts.h"
#include "mail/mime/text_format.h"
#include "platform/files.h"
#include "platform/temp_files.h"

namespace eqd {

namespace texts = email_client_texts;

namespace {

[[noreturn]] void Fail(const char* format, const std::string& path, platform::OsErrorCode error) {
  throw EInOutError(FormatText(format, {path, platform::OsErrorText(error)}));
}

}  // namespace

TTempAttachmentFiles::~TTempAttachmentFiles() { Clear(); }

std::string TTempAttachmentFiles::Write(const std::string& FolderName, const std::string& Name, std::string_view Bytes) {
  if (FFolder.empty()) {
    const std::string temp = platform::TempFolder();
    if (temp.empty()) throw EInOutError(texts::kNoTempFolder);
    const std::string prefix = (FolderName.empty() ? std::string("attachments") : FolderName) + '.';
    if (const auto error = platform::CreatePrivateFolder(temp, prefix, FFolder); error != 0)
      Fail(texts::kCannotCreateFolder, temp + prefix + "*", error);
    FCount = 0;
  }
  TFileStruct file;
  file.Folder = FFolder + platform::kPathDelimiter + std::to_string(++FCount);
  if (const auto error = platform::CreateNewFolder(file.Folder); error != 0)
    Fail(texts::kCannotCreateFolder, file.Folder, error);
  file.Path = file.Folder + platform::kPathDelimiter + Name;
  if (const auto error = platform::WriteNewFile(file.Path, Bytes, file.Identity); error != 0) {
    (void)platform::RemoveEmptyFolder(file.Folder);
    Fail(texts::kCannotCreateFile, file.Path, error);
  }
  FFiles.push_back(file);
  return file.Path;
}

void TTempAttachmentFiles::Clear() {
  for (const TFileStruct& file : FFiles) {
    (void)platform::DeleteFileIfExists(file.Path);
    (void)platform::RemoveEmptyFolder(file.Folder);
  }
  FFiles.clear();
  if (!FFolder.empty()) (void)platform::RemoveEmptyFolder(FFolder);
  FFolder.clear();
}

std::vector<std::string> TTempAttachmentFiles::Paths() const {
  std::vector<std::string> paths;
  for (const TFileStruct& file : FFiles) paths.push_back(file.Path);
  return paths;
}

std::unique_ptr<TFileReader> TTempAttachmentFiles::Open(const std::string& path) {
  for (const TFileStruct& file : FFiles)
    if (file.Path == path) return OpenDiskFile(path, &file.Identity);
  return OpenDiskFile(path);
}

}  // namespace eqd
