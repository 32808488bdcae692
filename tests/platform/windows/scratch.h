// A fresh folder in the user's temporary folder, removed with everything in it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/guid.h"
#include "platform/temp_files.h"

namespace eqd::platform {

class TScratch {
 public:
  TScratch() : path_(TempFolder() + "eqd-test-" + NewGuidText().substr(1, 8)) {
    EXPECT_EQ(CreateNewFolder(path_), 0);
  }
  ~TScratch() {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::u8path(path_), ec);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace eqd::platform
