#include "mail/mime/content_types.h"

#include <gtest/gtest.h>

namespace eqd {
namespace {

TEST(ContentTypesTest, MapsExtensionsInAnyCase) {
  const std::pair<const char*, const char*> cases[] = {
      {"report.pdf", "application/pdf"},
      {"PHOTO.JPG", "image/jpeg"},
      {"book.xlsx", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"},
      {"archive.tar.gz", "application/gzip"},
      {"notes.txt", "text/plain"},
      {"data.unknownext", "application/octet-stream"},
      {"README", "application/octet-stream"},
      {"trailing.", "application/octet-stream"},
  };
  for (const auto& [name, type] : cases) EXPECT_EQ(ContentTypeOfFileName(name), type) << name;
}

}  // namespace
}  // namespace eqd
