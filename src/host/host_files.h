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

// Writes `bytes` as the whole file, replacing what was there. EHostError when it cannot.
void WriteHostFile(const std::string& path, const std::string& bytes);

}  // namespace eqd
