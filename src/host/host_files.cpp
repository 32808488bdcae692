#include "host/host_files.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/host_error.h"
#include "host/host_texts.h"

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

void WriteHostFile(const std::string& path, const std::string& bytes) {
  std::ofstream file(HostPath(path), std::ios::binary | std::ios::trunc);
  if (file) file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (file) file.close();
  if (!file) throw EHostError(host_texts::kCannotWrite + path);
}

}  // namespace eqd
