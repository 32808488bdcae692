// The system's TLS as a client engine that never touches a socket: it takes the bytes
// the server sent, gives back the bytes to send, and turns plain text into records and
// back. The stream that moves those bytes over a connection, with its deadlines, is
// written once above this layer (net/tls_stream.cpp) for every backend: OpenSSL on
// POSIX systems, Schannel on Windows.
//
// A policy says what the connection demands. A backend that cannot do what a policy
// asks refuses it when the engine is made (ETlsFailure, tfUnsupported); it never
// negotiates something weaker than asked.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace eqd::platform {

enum class TTlsVersion : std::uint8_t { tvTls10, tvTls11, tvTls12, tvTls13 };

enum class TTlsVerification : std::uint8_t {
  tvNone,    // any certificate is taken
  tvSystem,  // a chain to the system's trusted roots, the server name, the dates
  tvPin,     // the certificate's public key (SHA-256 of its SubjectPublicKeyInfo) is the pinned one
};

using TSha256 = std::array<std::uint8_t, 32>;

struct TTlsPolicyStruct {
  TTlsVersion MinVersion = TTlsVersion::tvTls10;
  TTlsVersion MaxVersion = TTlsVersion::tvTls12;
  // The server's host name as the user gave it: sent as SNI unless it is an address
  // literal, and what the certificate must name under tvSystem.
  std::string ServerName;
  TTlsVerification Verification = TTlsVerification::tvNone;
  TSha256 PinnedKey{};  // under tvPin
};

// What the handshake settled, for a log or a connection test.
struct TTlsSessionInfoStruct {
  TTlsVersion Version = TTlsVersion::tvTls12;
  std::string Cipher;   // the backend's name of the cipher suite
  std::string Subject;  // of the server's certificate, as the backend writes names
  std::string Issuer;
  std::chrono::sys_seconds NotBefore{};
  std::chrono::sys_seconds NotAfter{};
  TSha256 KeySha256{};  // SHA-256 of the certificate's SubjectPublicKeyInfo
};

enum class TTlsFailureKind : std::uint8_t {
  tfUnsupported,  // the policy asks for what this backend cannot do
  tfHandshake,    // the handshake failed
  tfCertificate,  // the server's certificate failed the policy's check; the text says why
  tfRecord,       // a record after the handshake could not be decrypted or encrypted
};

// Why a certificate failed its check (tfCertificate).
enum class TTlsCertificateProblem : std::uint8_t {
  cpOther,          // any other reason; the text says it
  cpUntrusted,      // no chain to a trusted root (self-signed, unknown issuer, partial chain)
  cpNameMismatch,   // the certificate names another server
  cpExpired,        // after its end date
  cpNotYetValid,    // before its start date
  cpPinMismatch,    // the key is not the pinned one
};

// Every failure of an engine; what() is the backend's own wording. A certificate that
// failed its check comes with what it was and why it failed, so the user can be told
// what to trust or to pin.
class ETlsFailure : public std::runtime_error {
 public:
  ETlsFailure(TTlsFailureKind kind, const std::string& detail) : std::runtime_error(detail), kind_(kind) {}
  ETlsFailure(TTlsCertificateProblem problem, const std::string& detail, const TTlsSessionInfoStruct& certificate)
      : std::runtime_error(detail),
        kind_(TTlsFailureKind::tfCertificate),
        problem_(problem),
        certificate_(certificate),
        hasCertificate_(true) {}
  TTlsFailureKind Kind() const { return kind_; }
  TTlsCertificateProblem Problem() const { return problem_; }
  // The server's certificate (subject, issuer, dates, key), when one was read.
  const TTlsSessionInfoStruct* Certificate() const { return hasCertificate_ ? &certificate_ : nullptr; }

 private:
  TTlsFailureKind kind_;
  TTlsCertificateProblem problem_ = TTlsCertificateProblem::cpOther;
  TTlsSessionInfoStruct certificate_;
  bool hasCertificate_ = false;
};

enum class TTlsStep : std::uint8_t {
  tsDone,       // the handshake is complete / plain text was produced
  tsNeedInput,  // nothing more can happen until more bytes come from the server
  tsClosed,     // the server ended the session (close_notify)
};

class TTlsEngine {
 public:
  virtual ~TTlsEngine() = default;
  // One step of the handshake over `input` (the server's bytes; what the engine used is
  // removed). Bytes to send are appended to `output`, also when it fails.
  virtual TTlsStep Handshake(std::string& input, std::string& output) = 0;
  // Decrypts what `input` holds into `plain` (appended); tsDone once some plain text
  // came. A renegotiation or other handshake message the server sends is answered
  // through `output`.
  virtual TTlsStep Decrypt(std::string& input, std::string& plain, std::string& output) = 0;
  // Appends the records of `plain` to `output` and returns how much of it was taken:
  // less than all while a renegotiation waits for the server (Decrypt takes its
  // answer; then Encrypt again).
  virtual std::size_t Encrypt(std::string_view plain, std::string& output) = 0;
  // Appends the close_notify alert to `output`; never raises.
  virtual void Shutdown(std::string& output) noexcept = 0;
  // Valid once the handshake is complete.
  virtual TTlsSessionInfoStruct SessionInfo() const = 0;
};

// The system's engine, bound to `policy`. Raises ETlsFailure (tfUnsupported) when the
// backend cannot do what the policy asks, or the policy contradicts itself.
std::unique_ptr<TTlsEngine> CreateTlsEngine(const TTlsPolicyStruct& policy);

// Whether `name` is an IPv4 or IPv6 address literal (with or without brackets): SNI
// cannot carry one, and a certificate names it as an address, not a host name.
bool IsIpAddressLiteral(std::string_view name);

}  // namespace eqd::platform
