#include <algorithm>

#include "platform/https_client.h"

namespace eqd::platform {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

}  // namespace

std::string THttpsResponseStruct::Header(std::string_view name) const {
  for (const auto& [key, value] : Headers)
    if (SameNameIgnoringCase(key, name)) return value;
  return {};
}

}  // namespace eqd::platform
