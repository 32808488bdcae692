// Address lists as people type them: any text parses; every address fit for a header
// gives a mailbox, and the list of them a header field, with no stray CR, LF or NUL and
// no line over 998 octets; a mailbox read back gives the same address.
#include <string>

#include "fuzz_check.h"
#include "mail/codecs/address_list.h"
#include "mail/codecs/encoded_word.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace eqd;
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::string list;
  bool addressesFit = true;
  for (const TMailAddressStruct& a : ParseAddressList(text)) {
    if (!IsValidMailAddress(a.Address)) continue;
    const std::string mailbox = FormatMailbox(a);
    EQ_FUZZ_CHECK(mailbox.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
    // Separators and comment brackets in an address, or a quote in its domain (left in by
    // an angle bracket that is never closed), are taken for what they are when the header
    // is read again.
    // An address without "@" ("postmaster") is the server's to judge, and has no domain.
    const std::size_t at = a.Address.rfind('@');
    const std::string_view domain =
        at == std::string::npos ? std::string_view() : std::string_view(a.Address).substr(at);
    if (a.Address.find_first_of(",;()") == std::string::npos && domain.find('"') == std::string_view::npos) {
      const auto again = ParseAddressList(mailbox);
      EQ_FUZZ_CHECK(again.size() == 1 && again[0].Address == a.Address);
    }
    // Folding never splits an address, so one longer than a header line can hold makes an
    // over-long line (an SMTP server refuses such a path long before); names always fit.
    addressesFit = addressesFit && a.Address.size() <= kMaxHeaderLineLength - 8;
    if (!list.empty()) list += ", ";
    list += mailbox;
  }
  if (!list.empty() && addressesFit) EQ_FUZZ_CHECK(fuzz::IsSoundHeaderField(FoldHeaderField("To", list)));
  return 0;
}
