// A TLS client layer over an open byte stream, as STARTTLS needs it: the handshake
// runs over the stream the dialogue used so far, after which the layer itself is the
// stream. Every backend follows the same rules: client mode; TLS 1.0, 1.1 and 1.2
// allowed and the highest one both sides know is used, SSL 2 and 3 refused; the server
// name goes out as SNI; the server's certificate and name are not checked; no client
// certificate is presented.
#pragma once

#include <memory>
#include <string>

#include "mail/smtp/byte_stream.h"

namespace eqd::smtp {

class TTlsLayer : public TByteStream {
 public:
  // Raises ESmtpError with the backend's own wording when the handshake fails.
  virtual void Handshake() = 0;
  // Tells the server the session ends (close_notify); never raises.
  virtual void Close() noexcept = 0;
};

// The platform's backend over `lower`, which must outlive the layer. `serverName` is
// the host name the user configured; it is sent as SNI unless it is an IP address
// literal, which SNI cannot carry.
std::unique_ptr<TTlsLayer> CreateTlsLayer(TByteStream& lower, const std::string& serverName);

// Whether `name` is an IPv4 or IPv6 address literal (with or without brackets).
bool IsIpAddressLiteral(const std::string& name);

}  // namespace eqd::smtp
