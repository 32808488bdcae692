#include "mail/security/connection_report.h"

#include "mail/security/security_texts.h"

namespace eqd {

std::string ConnectionReportText(const TConnectionReportStruct& r) {
  namespace texts = security_texts;
  std::string out = texts::kReportConnection;
  if (!r.Tls) {
    out += texts::kReportPlain;
  } else {
    out += r.TlsVersion;
    if (!r.Cipher.empty()) out += ", " + r.Cipher;
    out += "\r\n";
    switch (r.Check) {
      case TCertificateCheck::ccVerified:
        out += texts::kReportVerified + r.Subject + texts::kReportIssuedBy + r.Issuer;
        break;
      case TCertificateCheck::ccPinned: out += texts::kReportPinned + KeySha256Hex(r.KeySha256); break;
      case TCertificateCheck::ccNone: out += texts::kReportNotVerified + KeySha256Hex(r.KeySha256); break;
    }
  }
  out += "\r\n";
  out += texts::kReportLogin;
  out += r.AuthMethod.empty() ? texts::kReportNoLogin : r.AuthMethod;
  return out;
}

}  // namespace eqd
