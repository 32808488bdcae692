// A folder of its own under the system's temporary folder for one test, removed with
// everything in it when the test ends.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace eqd::test {

class TTempFolder {
 public:
  TTempFolder() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("eqd_mail_" + std::to_string(random()) + "_" + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~TTempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }

  // Writes a file into the folder and returns its full path.
  std::string Write(std::string_view name, std::string_view content) const {
    const std::filesystem::path p = path_ / std::filesystem::path(std::u8string(name.begin(), name.end()));
    std::ofstream(p, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
    return Utf8(p);
  }

  static std::string Utf8(const std::filesystem::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
  }

  static std::string Read(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path path_;
};

}  // namespace eqd::test
