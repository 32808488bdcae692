// How the composer reads attachment files: through this small interface, so that the
// composer itself stays a pure producer and tests can hand it files that fail on demand.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace eqd {

// One open file. Read() returns up to `size` bytes, 0 at the end of the file, and raises
// EInOutError when the file cannot be read.
class TFileReader {
 public:
  virtual ~TFileReader() = default;
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

// Opens files by path; raises EInOutError when a file cannot be opened.
class TFileOpener {
 public:
  virtual ~TFileOpener() = default;
  virtual std::unique_ptr<TFileReader> Open(const std::string& path) = 0;
};

// The files on this machine's disks. The error messages name the file and carry the
// operating system's own wording.
TFileOpener& DiskFiles();

}  // namespace eqd
