// How the composer reads attachment files: through this small interface, so that the
// composer itself stays a pure producer and tests can hand it files that fail on demand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/read_only_file.h"

namespace eqd {

// One open file. Read() returns up to `size` bytes, 0 at the end of the file, and raises
// EInOutError when the file cannot be read.
class TFileReader {
 public:
  virtual ~TFileReader() = default;
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
  // The file's size in bytes, asked of a reader opened for that alone. The default
  // reads the file to its end and counts.
  virtual std::uint64_t Size();
};

// Opens files by path; raises EInOutError when a file cannot be opened.
class TFileOpener {
 public:
  virtual ~TFileOpener() = default;
  virtual std::unique_ptr<TFileReader> Open(const std::string& path) = 0;
};

// Opens a file on this machine's disks. Only a regular file opens: a folder, a pipe or a
// device is refused at once, without waiting for a writer or reading without end. With
// `expected` (a file the driver wrote itself) a symbolic link is not followed and the file
// must be that very file, else it is refused as replaced. The error messages name the
// file and carry the operating system's own wording where it has one.
std::unique_ptr<TFileReader> OpenDiskFile(const std::string& path, const platform::TFileIdentity* expected = nullptr);

// The files on this machine's disks, opened with OpenDiskFile.
TFileOpener& DiskFiles();

}  // namespace eqd
