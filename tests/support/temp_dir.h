// A fresh folder under the system temporary folder, removed with everything in it when
// the test ends.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace eqd::test {

class TTempDir {
 public:
  explicit TTempDir(const std::string& prefix = "eqd-test-") {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() / (prefix + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  // Writes a file into the folder (the name is UTF-8) and returns its full path as UTF-8.
  std::string Write(std::string_view name, std::string_view content) const;

 private:
  std::filesystem::path path_;
};

// A path as the UTF-8 text the driver takes.
inline std::string Utf8Path(const std::filesystem::path& p) {
  const std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

inline std::string TTempDir::Write(std::string_view name, std::string_view content) const {
  const std::filesystem::path p = path_ / std::filesystem::path(std::u8string(name.begin(), name.end()));
  std::ofstream(p, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
  return Utf8Path(p);
}

inline std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace eqd::test
