// A file opened for reading only, closed by the destructor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace eqd::platform {

// Which file a handle reaches: the device and inode on POSIX, the volume serial number
// and file index on Windows. On POSIX also the file's change time (nanoseconds), which
// only the system sets: a file made anew under a freed inode number differs there, as
// does one changed since (on Windows the file index itself is never handed out again).
struct TFileIdentity {
  std::uint64_t Volume = 0;
  std::uint64_t Index = 0;
  std::int64_t Changed = 0;
  bool operator==(const TFileIdentity&) const = default;
};

// Raised when a path names something that is not a regular file: a folder, a pipe, a
// device, or (when links are not followed) a symbolic link.
class ENotRegularFile : public std::runtime_error {
 public:
  ENotRegularFile() : std::runtime_error("Not a regular file") {}
};

enum class TLinks { Follow, Refuse };

class TReadOnlyFile {
 public:
  // Opens the file; `path` is UTF-8. Other readers are let in, writers are not. Opening
  // never waits: a pipe without a writer or a device is refused at once. Throws
  // ENotRegularFile for anything but a regular file (with TLinks::Refuse, a symbolic
  // link in the path's last part too), and std::runtime_error whose what() is the
  // operating system's own wording when the file cannot be opened (a path holding a
  // NUL character cannot name a file).
  explicit TReadOnlyFile(const std::string& path, TLinks links = TLinks::Follow);
  ~TReadOnlyFile();
  TReadOnlyFile(const TReadOnlyFile&) = delete;
  TReadOnlyFile& operator=(const TReadOnlyFile&) = delete;

  // Reads up to `size` bytes; returns how many, 0 at the end of the file. Throws
  // std::runtime_error with the system's wording.
  std::size_t Read(char* buffer, std::size_t size);

  // The file this handle reads.
  TFileIdentity Identity() const;
  // The file's size in bytes when it was opened.
  std::uint64_t Size() const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace eqd::platform
