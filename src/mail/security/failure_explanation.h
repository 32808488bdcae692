// Why a send, a connection test or a device test failed, in words that say what to do.
// One table turns each class of failure into the step it happened at, its cause and the
// advice; the server's own text (or the driver's established sentence) follows it, so
// nothing the server said is lost. Pure: the sender fills the record, this writes the text.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mail/security/connection_security.h"

namespace eqd {

enum class TSmtpFailureClass : std::uint8_t {
  fcNameNotFound,        // the server's name does not resolve
  fcConnectRefused,      // nothing listens at the port
  fcConnectTimedOut,     // no answer at the port
  fcConnectFailed,       // any other failure to connect
  fcNoGreeting,          // connected, but the server said nothing
  fcPlainOnTlsPort,      // "SSL/TLS" set, and the server greeted in plain text
  fcTlsOnPlainPort,      // a plain-text mode, and the server sent TLS
  fcTlsHandshake,        // the TLS handshake failed
  fcCertUntrusted,       // the chain does not lead to a trusted root
  fcCertNameMismatch,    // the certificate names another server
  fcCertExpired,         // past its end date
  fcCertNotYetValid,     // before its start date
  fcCertPinMismatch,     // the key is not the pinned one
  fcCertRejected,        // any other reason the check gave
  fcStartTlsNotOffered,  // "STARTTLS" set, and the server does not offer it
  fcStartTlsRefused,     // the server refused STARTTLS
  fcAuthMethodNotOffered,  // the method asked for is not among those announced
  fcLoginRefused,        // AUTH refused
  fcSenderRefused,       // MAIL FROM refused
  fcRecipientRefused,    // a RCPT TO refused
  fcMessageTooLarge,     // 552 or a SIZE limit
  fcMessageRefused,      // DATA or the message refused
  fcServerRefused,       // the greeting or EHLO/HELO refused
  fcTimedOut,            // no reply in time after connecting
  fcClosed,              // the server closed the connection
  fcOther,               // anything else: the text alone
};

// What the TLS backend read from the server's certificate.
struct TCertificateFactsStruct {
  std::string Subject;
  std::string Issuer;
  std::chrono::sys_seconds NotBefore{};
  std::chrono::sys_seconds NotAfter{};
  TKeySha256 KeySha256{};
};

struct TSmtpFailureStruct {
  TSmtpFailureClass Class = TSmtpFailureClass::fcOther;
  // What the host was shown before there were explanations: the server's reply text, the
  // driver's established sentence, or the network failure's text. Follows the explanation.
  std::string Text;
  bool FromServer = false;  // Text is the server's reply ("Ответ сервера:" in front of it)
  int ReplyCode = 0;        // the reply's code when FromServer
  std::string Host;
  std::uint16_t Port = 0;
  TSmtpSecurity Security = TSmtpSecurity::ssAuto;
  std::string TlsVersions;  // the versions offered, "TLS 1.2–1.3"
  std::optional<TCertificateFactsStruct> Certificate;
  std::string AuthMethod;                // the mechanism asked for or used
  std::string AuthDetail;                // what the mechanism's challenges said (a token's status and scope)
  std::vector<std::string> Mechanisms;   // the mechanisms the server announced
  std::string Recipient;                 // the refused one
  std::uint64_t MessageSize = 0;         // octets; 0: not known
  std::uint64_t SizeLimit = 0;           // the server's SIZE; 0: none announced
};

// The text the host gets: the step and the cause in Russian, the advice, then Text.
std::string ExplainSmtpFailure(const TSmtpFailureStruct& failure);

// "2026-12-11 08:30:00 UTC".
std::string UtcTimeText(std::chrono::sys_seconds time);

}  // namespace eqd
