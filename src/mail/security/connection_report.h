// What a successful connection test proved, in the words the device test's "Успешно!"
// box shows under that word: the protection of the connection, how far the server's
// certificate was checked (or its key, so an administrator can pin it), the login.
#pragma once

#include <cstdint>
#include <string>

#include "mail/security/connection_security.h"

namespace eqd {

enum class TCertificateCheck : std::uint8_t {
  ccNone,      // nothing checked
  ccVerified,  // chain to a trusted root, name and dates
  ccPinned,    // the key is the pinned one
};

struct TConnectionReportStruct {
  bool Tls = false;
  std::string TlsVersion;  // "TLS 1.3"
  std::string Cipher;      // the backend's name of the suite
  TCertificateCheck Check = TCertificateCheck::ccNone;
  std::string Subject;     // of the server's certificate
  std::string Issuer;
  TKeySha256 KeySha256{};
  std::string AuthMethod;  // the mechanism that logged in; empty: no login
};

// One line per fact, lines joined by CR LF.
std::string ConnectionReportText(const TConnectionReportStruct& report);

}  // namespace eqd
