// The SMTP connection: the part of the dialogue that sets a session up and ends it, apart
// from the mail it carries. Open takes the greeting and says EHLO (HELO when EHLO is
// refused), upgrades to TLS with STARTTLS as the security mode says and says EHLO again,
// or with implicit TLS runs the handshake before the greeting; Authenticate logs in;
// Quit ends. A transaction (smtp_transaction.h) runs on an open
// connection, and a connection can carry one transaction after another.
//
// No sockets inside: the caller opens the byte stream, and a test can hand in a scripted
// one. Failures raise ESmtpError with the text the host is shown (the server's reply, or
// the network failure in the driver's words); after a failure the connection must be
// dropped.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mail/sasl/sasl_selector.h"
#include "mail/security/connection_security.h"
#include "mail/smtp/smtp_dialogue.h"
#include "mail/smtp/smtp_reply.h"
#include "mail/smtp/smtp_time_limits.h"
#include "net/byte_stream.h"
#include "net/tls_layer.h"

namespace eqd::smtp {

class TSmtpConnection {
 public:
  // Puts a TLS layer over the plain stream after the server agreed to STARTTLS.
  using TTlsStarter = std::function<std::unique_ptr<net::TTlsLayer>(net::TByteStream& plain)>;

  TSmtpConnection(net::TByteStream& transport, TTlsStarter startTls, TSmtpTimeLimitsStruct limits = {});
  ~TSmtpConnection();
  TSmtpConnection(const TSmtpConnection&) = delete;
  TSmtpConnection& operator=(const TSmtpConnection&) = delete;

  // Tells `observer` every line of the dialogue from now on, as it passes (see
  // smtp_dialogue.h). An error the observer raises ends the dialogue like any failure.
  void SetObserver(TSmtpDialogueObserver observer) { observer_ = std::move(observer); }

  // The greeting, EHLO (or HELO) as `heloName`, and TLS as `security` says:
  //   ssAuto: STARTTLS, the handshake and a second EHLO when the server offers it;
  //   ssStartTls: the same, and a server that does not offer it fails here, before
  //     anything else is said;
  //   ssImplicitTls: the handshake first, then the greeting inside TLS;
  //   ssNone: never STARTTLS.
  void Open(const std::string& heloName, TSmtpSecurity security = TSmtpSecurity::ssAuto);
  // Logs in with the first of `preferred` that the server announced and returns its
  // name. Without a user name, or when the server announced none of them, nothing is
  // sent and the name is empty (the server then decides at MAIL FROM whether it wants a
  // login) — unless `required`, when that fails. `beforeCredentials` is told the
  // mechanism right before the first line that carries a credential goes out.
  std::string Authenticate(const sasl::TSaslCredentialsStruct& credentials,
                           std::span<const sasl::TSaslMechanismId> preferred = sasl::kDefaultSaslMechanisms,
                           bool required = false,
                           const std::function<void(std::string_view mechanism)>& beforeCredentials = {});
  // NOOP: whether the server still answers on this connection.
  bool Probe();
  // QUIT, its reply awaited no longer than the QUIT limit, then the end of TLS. Whatever
  // the server answers, or whether it answers at all, the work done stands, so nothing
  // here raises a network failure.
  void Quit();

  bool TlsActive() const { return tls_ != nullptr; }
  // What the TLS handshake settled; valid while TlsActive().
  net::TTlsSessionInfoStruct TlsSession() const { return tls_ ? tls_->SessionInfo() : net::TTlsSessionInfoStruct{}; }
  // The SIZE the server announced (0: none).
  std::uint64_t SizeLimit() const;
  // The extension lines of the last EHLO reply.
  const std::vector<std::string>& Extensions() const { return extensions_; }
  bool HasExtension(std::string_view keyword) const;
  // The mechanisms after AUTH (or the old AUTH=) in the extension lines, as written.
  std::vector<std::string> AuthMechanisms() const;
  const TSmtpTimeLimitsStruct& Limits() const { return limits_; }

  // The command channel, for a transaction on this connection.
  //
  // Sends one command; the observer sees it with its part from `secretFrom` on masked.
  void SendCommand(const std::string& command, std::size_t secretFrom = std::string::npos);
  // Sends bytes as they are (commands told to the observer already, the message text).
  void Write(std::string_view data);
  // The next reply, whole within `limit` from now. Once a login was sent, whatever of it
  // the reply repeats (the user name or the password, as given or in Base64, a line of
  // the exchange) is masked, for the reply's text goes into logs and the host's
  // description.
  TSmtpReplyStruct ReadReply(std::chrono::milliseconds limit);
  TSmtpReplyStruct ReadReply() { return ReadReply(limits_.Wait); }
  // Whether the server sent something not read yet, told without waiting.
  bool InputPending();
  void Tell(TSmtpDialogueSide side, std::string_view line) const;

 private:
  // The plain stream with the first bytes the server sent kept aside: what an implicit
  // TLS handshake that failed was answered with tells a plain-text server.
  class TPeekStream final : public net::TByteStream {
   public:
    explicit TPeekStream(net::TByteStream& lower) : lower_(lower) {}
    std::size_t Read(char* buffer, std::size_t size, net::TDeadline deadline) override;
    void Write(std::string_view data, net::TDeadline deadline) override { lower_.Write(data, deadline); }
    bool InputPending() override { return lower_.InputPending(); }
    const std::string& First() const { return first_; }

   private:
    net::TByteStream& lower_;
    std::string first_;
  };

  void Hello();
  void StartTls();
  void Handshake(bool implicit);
  TSmtpReplyStruct ReadGreeting();
  void KeepSecret(std::string secret);
  std::string Masked(std::string text) const;

  net::TByteStream& plain_;
  TPeekStream peek_{plain_};
  net::TByteStream* stream_;  // plain_, or the TLS layer over it
  TTlsStarter startTls_;
  TSmtpDialogueObserver observer_;
  TSmtpTimeLimitsStruct limits_;
  std::unique_ptr<net::TTlsLayer> tls_;
  TSmtpReplyReader reader_;
  std::string received_;  // bytes read but not yet part of a reply
  std::string heloName_;
  std::vector<std::string> extensions_;
  std::vector<std::string> secrets_;  // longest first
};

}  // namespace eqd::smtp
