// Mail services whose SMTP settings the settings window can fill in: one data table,
// taken from each provider's public documentation (the date it was checked is
// kMailServicesChecked). The table only fills fields; what the user does with them after
// is theirs. The explanation of a refused login names the service's own advice.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "mail/security/connection_security.h"

namespace eqd {

inline constexpr std::string_view kMailServicesChecked = "2026-12-11";

struct TMailServiceStruct {
  const char* Name;  // as the list shows it
  const char* Host;  // SMTP server
  std::uint16_t Port;
  TSmtpSecurity Security;
  TSmtpAuthMethod AuthMethod;
  const char* Note;  // a short note for the user, shown beside the choice
  // Domains whose SMTP servers belong to the service: a server name equal to one of
  // them or ending in "." + one of them is the service's.
  std::span<const std::string_view> Domains;
};

std::span<const TMailServiceStruct> MailServices();
// The service whose server `host` is (letters in any case), or nullptr.
const TMailServiceStruct* MailServiceOfHost(std::string_view host);

}  // namespace eqd
