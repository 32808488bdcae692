#include "host/host_files.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/host_error.h"
#include "host/host_texts.h"
#include "platform/guid.h"
#include "platform/temp_files.h"

namespace eqd {

std::filesystem::path HostPath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string ReadHostFile(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(HostPath(path), ec)) throw EHostError(host_texts::kCannotRead + path);
  std::ifstream file(HostPath(path), std::ios::binary);
  if (!file) throw EHostError(host_texts::kCannotRead + path);
  std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) throw EHostError(host_texts::kCannotRead + path);
  return bytes;
}

void WriteNewHostFile(const std::string& path, const std::string& bytes, bool replace) {
  platform::TFileIdentity written;
  if (!replace) {
    const platform::OsErrorCode error = platform::WriteNewFile(path, bytes, written);
    if (error == 0) return;
    std::error_code ec;
    if (std::filesystem::symlink_status(HostPath(path), ec).type() != std::filesystem::file_type::not_found && !ec)
      throw EHostError(host_texts::kCannotWrite + path + host_texts::kFileExists);
    throw EHostError(host_texts::kCannotWrite + path + ": " + platform::OsErrorText(error));
  }
  // A name nobody can have made beforehand, in the same folder, so the rename stays on
  // one volume and swaps the whole file in at once.
  const std::string temporary = path + "." + platform::NewGuidText().substr(1, 8) + ".tmp";
  if (const platform::OsErrorCode error = platform::WriteNewFile(temporary, bytes, written))
    throw EHostError(host_texts::kCannotWrite + temporary + ": " + platform::OsErrorText(error));
  std::error_code ec;
  std::filesystem::rename(HostPath(temporary), HostPath(path), ec);
  if (ec) {
    (void)platform::DeleteFileIfExists(temporary);
    throw EHostError(host_texts::kCannotWrite + path + ": " + ec.message());
  }
}

}  // namespace eqd
