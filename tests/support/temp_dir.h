// A fresh folder under the system temporary folder, removed with everything in it when
// the test ends.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

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
  std::string Write(const std::string& name, const std::string& content) const {
    const auto p = path_ / name;
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace eqd::test
