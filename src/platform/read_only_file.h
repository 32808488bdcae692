// A file opened for reading only, closed by the destructor.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace eqd::platform {

class TReadOnlyFile {
 public:
  // Opens the file; `path` is UTF-8. Other readers are let in, writers are not. Throws
  // std::runtime_error whose what() is the operating system's own wording.
  explicit TReadOnlyFile(const std::string& path);
  ~TReadOnlyFile();
  TReadOnlyFile(const TReadOnlyFile&) = delete;
  TReadOnlyFile& operator=(const TReadOnlyFile&) = delete;

  // Reads up to `size` bytes; returns how many, 0 at the end of the file. Throws
  // std::runtime_error with the system's wording.
  std::size_t Read(char* buffer, std::size_t size);

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace eqd::platform
