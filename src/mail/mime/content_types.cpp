#include "mail/mime/content_types.h"

#include <algorithm>
#include <array>
#include <utility>

#include "automation/ascii_case.h"

namespace eqd {
namespace {

using TTypeEntry = std::pair<std::string_view, std::string_view>;

// Sorted by extension for the binary search below.
constexpr std::array kTypes = {
    TTypeEntry{"7z", "application/x-7z-compressed"},
    TTypeEntry{"avi", "video/x-msvideo"},
    TTypeEntry{"bmp", "image/bmp"},
    TTypeEntry{"bz2", "application/x-bzip2"},
    TTypeEntry{"csv", "text/csv"},
    TTypeEntry{"doc", "application/msword"},
    TTypeEntry{"docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document"},
    TTypeEntry{"gif", "image/gif"},
    TTypeEntry{"gz", "application/gzip"},
    TTypeEntry{"htm", "text/html"},
    TTypeEntry{"html", "text/html"},
    TTypeEntry{"ico", "image/x-icon"},
    TTypeEntry{"jpe", "image/jpeg"},
    TTypeEntry{"jpeg", "image/jpeg"},
    TTypeEntry{"jpg", "image/jpeg"},
    TTypeEntry{"js", "text/javascript"},
    TTypeEntry{"json", "application/json"},
    TTypeEntry{"log", "text/plain"},
    TTypeEntry{"mp3", "audio/mpeg"},
    TTypeEntry{"mp4", "video/mp4"},
    TTypeEntry{"mpeg", "video/mpeg"},
    TTypeEntry{"mpg", "video/mpeg"},
    TTypeEntry{"odp", "application/vnd.oasis.opendocument.presentation"},
    TTypeEntry{"ods", "application/vnd.oasis.opendocument.spreadsheet"},
    TTypeEntry{"odt", "application/vnd.oasis.opendocument.text"},
    TTypeEntry{"pdf", "application/pdf"},
    TTypeEntry{"png", "image/png"},
    TTypeEntry{"ppt", "application/vnd.ms-powerpoint"},
    TTypeEntry{"pptx", "application/vnd.openxmlformats-officedocument.presentationml.presentation"},
    TTypeEntry{"rar", "application/vnd.rar"},
    TTypeEntry{"rtf", "application/rtf"},
    TTypeEntry{"svg", "image/svg+xml"},
    TTypeEntry{"tar", "application/x-tar"},
    TTypeEntry{"tif", "image/tiff"},
    TTypeEntry{"tiff", "image/tiff"},
    TTypeEntry{"txt", "text/plain"},
    TTypeEntry{"wav", "audio/wav"},
    TTypeEntry{"webp", "image/webp"},
    TTypeEntry{"xls", "application/vnd.ms-excel"},
    TTypeEntry{"xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
    TTypeEntry{"xml", "text/xml"},
    TTypeEntry{"zip", "application/zip"},
};

static_assert(std::is_sorted(kTypes.begin(), kTypes.end(),
                             [](const TTypeEntry& a, const TTypeEntry& b) { return a.first < b.first; }));

constexpr std::string_view kUnknownType = "application/octet-stream";

}  // namespace

std::string ContentTypeOfFileName(std::string_view fileName) {
  const std::size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == fileName.size()) return std::string(kUnknownType);
  const std::string ext = AsciiLowerCase(fileName.substr(dot + 1));
  const auto it = std::lower_bound(kTypes.begin(), kTypes.end(), ext,
                                   [](const TTypeEntry& e, const std::string& key) { return e.first < key; });
  if (it != kTypes.end() && it->first == ext) return std::string(it->second);
  return std::string(kUnknownType);
}

}  // namespace eqd
