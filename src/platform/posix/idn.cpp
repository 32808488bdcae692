#include "platform/idn.h"

#include <idn2.h>

#include "platform/unique_handle.h"

namespace eqd::platform {
namespace {

void FreeIdn(char* text) { idn2_free(text); }
using TIdnText = TUniqueHandle<char*, FreeIdn>;

}  // namespace

std::optional<std::string> DomainToAscii(std::string_view domain) {
  const std::string input(domain);
  if (input.find('\0') != std::string::npos) return std::nullopt;
  TIdnText output;
  // Non-transitional UTS #46 processing, as browsers and mail programs map names today
  // ("ß" stays "ß" and gets its own A-label instead of becoming "ss").
  if (idn2_to_ascii_8z(input.c_str(), output.Put(), IDN2_NONTRANSITIONAL | IDN2_NFC_INPUT) != IDN2_OK)
    return std::nullopt;
  return std::string(output.Get());
}

}  // namespace eqd::platform
