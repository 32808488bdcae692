// A fresh folder under the system temporary folder, removed with everything in it
// when the test ends.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace eqd::test {

class TempFolder {
 public:
  TempFolder() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() / ("eqhost-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string Write(const std::string& name, const std::string& content) const {
    const auto p = path_ / name;
    std::ofstream(p, std::ios::binary) << content;
    return p.string();
  }

 private:
  std::filesystem::path path_;
};

}  // namespace eqd::test
