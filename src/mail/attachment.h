// One attachment as the host handed it over and as the sender receives it.
#pragma once

#include <string>

namespace eqd {

struct TAttachment {
  std::string FilePath;     // full path of the file to attach
  std::string ContentType;  // MIME content type; may be empty
  std::string ContentID;    // identifier the HTML body refers to; may be empty

  // Both a content type and an identifier make the file an inline (related) part;
  // anything else is an ordinary attachment.
  bool IsInline() const { return !ContentType.empty() && !ContentID.empty(); }
};

}  // namespace eqd
