#include "mail/codecs/dot_stuffing.h"

#include <cstring>

namespace eqd {

void TDotStuffingFilter::Update(std::string_view data, std::string& out) {
  if (data.empty()) return;
  std::size_t from = 0;
  if (atLineStart_ && data[0] == '.') out += '.';
  // Copy runs up to each LF; look at the byte after it.
  while (from < data.size()) {
    const void* lf = std::memchr(data.data() + from, '\n', data.size() - from);
    if (lf == nullptr) {
      out.append(data.data() + from, data.size() - from);
      break;
    }
    const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(lf) - data.data());
    out.append(data.data() + from, at + 1 - from);
    if (at + 1 < data.size() && data[at + 1] == '.') out += '.';
    from = at + 1;
  }
  const char last = data.back();
  const char beforeLast = data.size() > 1 ? data[data.size() - 2] : (afterCR_ ? '\r' : '\0');
  atLineStart_ = last == '\n';
  endsWithCRLF_ = last == '\n' && beforeLast == '\r';
  afterCR_ = last == '\r';
  empty_ = false;
}

void TDotStuffingFilter::Finish(std::string& out) {
  if (!empty_ && !endsWithCRLF_) out += "\r\n";
  out += ".\r\n";
  *this = TDotStuffingFilter{};
}

}  // namespace eqd
