// A TLS client layer over an open byte stream, as STARTTLS needs it: the handshake runs
// over the stream used so far, after which the layer itself is the stream. What the
// connection demands (versions, the server name, the certificate check) is the policy
// (platform/tls_engine.h); what the handshake settled is the session info.
#pragma once

#include <memory>

#include "net/byte_stream.h"
#include "platform/tls_engine.h"

namespace eqd::net {

using platform::TTlsPolicyStruct;
using platform::TTlsSessionInfoStruct;
using platform::TTlsVerification;
using platform::TTlsVersion;

class TTlsLayer : public TByteStream {
 public:
  // Raises ENetError (nsHandshake) when the handshake fails or the certificate fails
  // the policy's check.
  virtual void Handshake(TDeadline deadline) = 0;
  // Tells the server the session ends (close_notify); never raises.
  virtual void Close(TDeadline deadline) noexcept = 0;
  // What the handshake settled; empty for a layer that is no real TLS (a test's stand-in).
  virtual TTlsSessionInfoStruct SessionInfo() const { return {}; }
};

// The system's backend over `lower`, which must outlive the layer, bound to `policy`.
// Raises ENetError (neTlsPolicy) when the backend cannot do what the policy asks.
std::unique_ptr<TTlsLayer> CreateTlsLayer(TByteStream& lower, const TTlsPolicyStruct& policy);

}  // namespace eqd::net
