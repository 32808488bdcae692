// The failure of a network step. The network layer says what happened in its own terms
// (the kind, the step, the system's or the TLS backend's wording); the protocol above
// turns that into what its user reads.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/tls_engine.h"

namespace eqd::net {

enum class TNetErrorKind : std::uint8_t {
  neNameNotFound,  // the host name does not resolve
  neRefused,       // nothing listens at the address
  neUnreachable,   // no route to the address
  neTimedOut,      // the deadline passed
  neClosed,        // the peer closed or reset the connection
  neNetwork,       // any other failure of the system's network calls
  neTlsPolicy,     // the TLS backend cannot do what the policy asks
  neTlsHandshake,  // the TLS handshake failed
  neCertificate,   // the server's certificate failed the policy's check; the detail says why
  neTls,           // a TLS record after the handshake was broken
};

// What the connection was doing.
enum class TNetStep : std::uint8_t { nsConnect, nsHandshake, nsRead, nsWrite };

class ENetError : public std::runtime_error {
 public:
  ENetError(TNetErrorKind kind, TNetStep step, const std::string& detail)
      : std::runtime_error(detail), kind_(kind), step_(step) {}
  TNetErrorKind Kind() const { return kind_; }
  TNetStep Step() const { return step_; }
  // The system's or the backend's own wording; may be empty.
  std::string Detail() const { return what(); }

  // neCertificate: why, and the certificate, when the backend read it.
  void SetCertificate(platform::TTlsCertificateProblem problem, const platform::TTlsSessionInfoStruct* certificate) {
    problem_ = problem;
    if (certificate != nullptr) certificate_ = *certificate;
  }
  platform::TTlsCertificateProblem CertificateProblem() const { return problem_; }
  const std::optional<platform::TTlsSessionInfoStruct>& Certificate() const { return certificate_; }

 private:
  TNetErrorKind kind_;
  TNetStep step_;
  platform::TTlsCertificateProblem problem_ = platform::TTlsCertificateProblem::cpOther;
  std::optional<platform::TTlsSessionInfoStruct> certificate_;
};

}  // namespace eqd::net
