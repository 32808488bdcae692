// The files into which a driver object decodes attachments handed over as Base64 text.
// They live in a private folder of the object's own below the system's temporary folder,
// one subfolder per file so that two attachments of the same name keep their own content
// while the recipient still sees the name given. At send time they are read only when
// they are still the very files written here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "mail/mime/file_source.h"
#include "platform/read_only_file.h"

namespace eqd {

class TTempAttachmentFiles final : public TFileOpener {
 public:
  TTempAttachmentFiles() = default;
  // Clear(): nothing is left behind.
  ~TTempAttachmentFiles() override;
  TTempAttachmentFiles(const TTempAttachmentFiles&) = delete;
  TTempAttachmentFiles& operator=(const TTempAttachmentFiles&) = delete;

  // Writes the bytes to a new file named `Name` and returns its full path. The private
  // folder is made at the first file after a Clear(), named after `FolderName` (already
  // safe as a folder name, see FolderNameFromIdentifier) with random characters added.
  // Raises EInOutError with the path and the system's reason when a folder or the file
  // cannot be made; nothing of that file is then left.
  std::string Write(const std::string& FolderName, const std::string& Name, std::string_view Bytes);

  // Deletes every file written, their folders and the private folder; failures are ignored.
  void Clear();

  // The files written and not yet deleted, in the order written.
  std::vector<std::string> Paths() const;

  // A file written here opens only as long as it is that very file (no link, same
  // identity); any other path opens as DiskFiles() opens it.
  std::unique_ptr<TFileReader> Open(const std::string& path) override;

 private:
  struct TFileStruct {
    std::string Folder;  // the file's own subfolder
    std::string Path;
    platform::TFileIdentity Identity;
  };

  std::string FFolder;  // the private folder, empty until the first file
  std::vector<TFileStruct> FFiles;
  unsigned FCount = 0;  // subfolders made in FFolder so far
};

}  // namespace eqd
