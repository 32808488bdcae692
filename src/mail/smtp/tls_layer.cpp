#include "mail/smtp/tls_layer.h"

namespace eqd::smtp {

bool IsIpAddressLiteral(const std::string& name) {
  if (name.empty()) return false;
  // Host names never hold a colon; IPv6 literals always do.
  if (name.find(':') != std::string::npos) return true;
  int parts = 0;
  std::size_t digits = 0;
  for (const char c : name) {
    if (c >= '0' && c <= '9') {
      if (++digits > 3) return false;
    } else if (c == '.') {
      if (digits == 0) return false;
      ++parts;
      digits = 0;
    } else {
      return false;
    }
  }
  return digits > 0 && parts == 3;
}

}  // namespace eqd::smtp
