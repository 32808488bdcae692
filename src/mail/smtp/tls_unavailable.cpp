// Builds without a TLS backend: a server that offers STARTTLS cannot be served, and
// the send fails the way a failed handshake does.
#include "mail/smtp/smtp_error.h"
#include "mail/smtp/smtp_texts.h"
#include "mail/smtp/tls_layer.h"

namespace eqd::smtp {

std::unique_ptr<TTlsLayer> CreateTlsLayer(TByteStream&, const std::string&) {
  throw ESmtpError(texts::kTlsHandshakeFailed);
}

}  // namespace eqd::smtp
