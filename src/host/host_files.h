// Files eqhost reads for its user: settings, message bodies, attachments to encode.
#pragma once

#include <filesystem>
#include <string>

namespace eqd {

// A path given as UTF-8 text (all of eqhost's strings are UTF-8), for the file streams
// and std::filesystem: on Windows a path made from narrow text would go through the ANSI
// code page and lose every letter outside it.
std::filesystem::path HostPath(const std::string& utf8);

// The whole file as bytes. EHostError when it cannot be opened or read, or is a folder.
std::string ReadHostFile(const std::string& path);

// Writes `bytes` as a new file that only its owner may read (POSIX mode 0600), never
// through a symbolic link or junction in its place. A file already there is an
// EHostError unless `replace`: then the bytes go to a new file beside it first, which
// then takes its name (a link there is replaced, its target untouched). EHostError when
// it cannot be written; nothing is left half-written.
void WriteNewHostFile(const std::string& path, const std::string& bytes, bool replace);

}  // namespace eqd
