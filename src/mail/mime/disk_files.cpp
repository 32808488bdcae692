#include <stdexcept>

#include "automation/errors.h"
#include "mail/mime/file_source.h"
#include "mail/mime/mime_texts.h"
#include "mail/mime/text_format.h"
#include "platform/read_only_file.h"

namespace eqd {
namespace {

class TDiskFileReader final : public TFileReader {
 public:
  TDiskFileReader(const std::string& path, const platform::TFileIdentity* expected)
      : path_(path), file_(Opened(path, expected)) {
    if (expected != nullptr && file_.Identity() != *expected)
      throw EInOutError(FormatText(mime_texts::kAttachmentReplaced, {path}));
  }

  std::uint64_t Size() override { return file_.Size(); }

  std::size_t Read(char* buffer, std::size_t size) override {
    try {
      return file_.Read(buffer, size);
    } catch (const std::runtime_error& e) {
      throw EInOutError(FormatText(mime_texts::kCannotReadAttachment, {path_, e.what()}));
    }
  }

 private:
  static platform::TReadOnlyFile Opened(const std::string& path, const platform::TFileIdentity* expected) {
    try {
      return platform::TReadOnlyFile(path, expected != nullptr ? platform::TLinks::Refuse : platform::TLinks::Follow);
    } catch (const platform::ENotRegularFile&) {
      throw EInOutError(
          FormatText(expected != nullptr ? mime_texts::kAttachmentReplaced : mime_texts::kAttachmentNotRegularFile, {path}));
    } catch (const std::runtime_error& e) {
      throw EInOutError(FormatText(mime_texts::kCannotOpenAttachment, {path, e.what()}));
    }
  }

  std::string path_;
  platform::TReadOnlyFile file_;
};

class TDiskFileOpener final : public TFileOpener {
 public:
  std::unique_ptr<TFileReader> Open(const std::string& path) override { return OpenDiskFile(path); }
};

}  // namespace

std::uint64_t TFileReader::Size() {
  std::uint64_t size = 0;
  char buffer[16 * 1024];
  while (const std::size_t n = Read(buffer, sizeof buffer)) size += n;
  return size;
}

std::unique_ptr<TFileReader> OpenDiskFile(const std::string& path, const platform::TFileIdentity* expected) {
  return std::make_unique<TDiskFileReader>(path, expected);
}

TFileOpener& DiskFiles() {
  static TDiskFileOpener opener;
  return opener;
}

}  // namespace eqd
