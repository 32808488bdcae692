#include "mail/smtp/device_sender.h"

#include <exception>
#include <memory>
#include <optional>
#include <string_view>

#include "automation/errors.h"
#include "mail/event_log.h"
#include "mail/mime/mail_message.h"
#include "mail/mime/mime_composer.h"
#include "mail/oauth/oauth_texts.h"
#include "mail/oauth/token_source.h"
#include "mail/smtp/network_failure_text.h"
#include "mail/smtp/smtp_connection.h"
#include "mail/smtp/smtp_error.h"
#include "mail/smtp/smtp_texts.h"
#include "mail/smtp/smtp_transaction.h"
#include "net/net_error.h"
#include "net/tcp_connection.h"
#include "platform/tcp_socket.h"

namespace eqd {
namespace {

// "TLS 1.2".
std::string VersionText(net::TTlsVersion version) {
  switch (version) {
    case net::TTlsVersion::tvTls10: return "TLS 1.0";
    case net::TTlsVersion::tvTls11: return "TLS 1.1";
    case net::TTlsVersion::tvTls12: return "TLS 1.2";
    case net::TTlsVersion::tvTls13: return "TLS 1.3";
  }
  return {};
}

// An event log line of the sender. Logging never changes how a send ends: a delivered
// message reported as failed would be sent again, and a failure must be reported as
// itself, not as the log's trouble.
void WriteLogQuietly(const std::string& text, TEventLogLevel level) {
  try {
    WriteEventLog("TDevice", text, level);
  } catch (...) {
  }
}

}  // namespace

std::uint16_t TDevice::ConnectPort() const {
  const auto port = static_cast<std::uint16_t>(static_cast<std::uint32_t>(FSmtpServerPort) & 0xFFFFu);
  return port == 465 && FSecurity.Security == TSmtpSecurity::ssAuto ? 25 : port;
}

net::TTlsPolicyStruct TDevice::TlsPolicy() const {
  net::TTlsPolicyStruct policy;
  const bool legacy = FSecurity.Security == TSmtpSecurity::ssAuto;
  policy.MinVersion = legacy ? net::TTlsVersion::tvTls10 : net::TTlsVersion::tvTls12;
  policy.MaxVersion = legacy ? net::TTlsVersion::tvTls12 : net::TTlsVersion::tvTls13;
  policy.ServerName = FSmtpServerName;
  policy.Verification = net::TTlsVerification::tvNone;
  if (FSecurity.PinnedKey) {
    // A pin that matches is enough, also for a certificate no system would trust.
    policy.Verification = net::TTlsVerification::tvPin;
    policy.PinnedKey = *FSecurity.PinnedKey;
  } else if (FSecurity.VerifyCertificate) {
    policy.Verification = net::TTlsVerification::tvSystem;
  }
  return policy;
}

struct TDevice::TSession {
  net::TTlsPolicyStruct Policy;
  std::unique_ptr<net::TTcpConnection> Tcp;
  // Declared after the TCP connection, so its TLS layer goes before the connection under it.
  std::unique_ptr<smtp::TSmtpConnection> Connection;
  TConnectionReportStruct Report;
  TClock::time_point IdleSince{};
};

TDevice::TDevice() = default;
TDevice::TDevice(TFileOpener& files) : files_(&files) {}
TDevice::~TDevice() { EndSession(); }
TDevice::TDevice(TDevice&&) noexcept = default;

void TDevice::SendMail(const std::string& ARecepients, const std::string& ACcRecepients,
                       const std::string& ABccRecepients, const std::string& ASubject,
                       const std::string& ABodyText, const std::vector<TAttachment>& AAttachmentPathsArray) {
  // Refusals of the input come before any connection and go to the caller as they are.
  const TMailMessageStruct message = PrepareMailMessage(FUserEmail, ARecepients, ACcRecepients, ABccRecepients,
                                                        ASubject, ABodyText, AAttachmentPathsArray);
  TMimeComposer composer(message, files_ ? *files_ : DiskFiles());
  const smtp::TSmtpEnvelopeStruct envelope{message.EnvelopeSender(), message.EnvelopeRecipients(), {}};
  // The size is asked for before the first piece of the message, when the server wants
  // it, and counted once however many connections ask.
  std::optional<std::uint64_t> size;
  const smtp::TSmtpMessageNeedsStruct needs{[&] {
                                              if (!size) size = composer.Size();
                                              return *size;
                                            },
                                            message.NeedsSmtpUtf8()};
  const auto writeMessage = [&composer](smtp::TDataSink& out) {
    std::string piece;
    while (composer.Next(piece)) {
      out.Write(piece);
      piece.clear();
    }
  };
  const bool keep = FSmtpKeepAlive > 0;
  smtp::TSmtpReplyStruct accepted;
  RunReported([&] {
    std::unique_ptr<TSession> session = TakeKeptSession();
    if (session) {
      smtp::TSmtpTransaction transaction(*session->Connection, true);
      try {
        accepted = transaction.Send(envelope, writeMessage, needs);
      } catch (const smtp::ESmtpError& e) {
        // A server that went while the session was idle, or that says it is going (421),
        // has not taken this message: a new connection sends it.
        const bool going = !e.Failure().FromServer || e.Failure().ReplyCode == 421;
        if (!transaction.EnvelopeWritten() || transaction.MailAccepted() || !going) throw;
        WriteLogQuietly(smtp::texts::kKeptSessionLost + e.Message(), elInfo);
        session.reset();
      }
    }
    if (!session) {
      session = OpenSession();
      accepted = smtp::TSmtpTransaction(*session->Connection, keep).Send(envelope, writeMessage, needs);
    }
    if (keep) {
      session->IdleSince = Clock();
      kept_ = std::move(session);
    } else {
      session->Connection->Quit();
    }
  });
  WriteLogQuietly(std::string(smtp::texts::kDelivered) + std::to_string(envelope.Recipients.size()) + "; " +
                      smtp::texts::kServerReply + accepted.CodeAndText(),
                  elInfo);
}

TConnectionReportStruct TDevice::TestConnection() {
  TConnectionReportStruct report;
  RunReported([&] {
    const std::unique_ptr<TSession> session = OpenSession();
    report = session->Report;
    session->Connection->Quit();
  });
  return report;
}

void TDevice::EndSession() noexcept {
  const std::unique_ptr<TSession> session = std::move(kept_);
  if (!session) return;
  try {
    session->Connection->Quit();
  } catch (...) {
    // Quit raises no network failure; whatever else goes wrong, the session is over.
  }
}

std::unique_ptr<TDevice::TSession> TDevice::TakeKeptSession() {
  if (!kept_) return nullptr;
  if (FSmtpKeepAlive <= 0 || Clock() - kept_->IdleSince > std::chrono::seconds(FSmtpKeepAlive)) {
    EndSession();
    return nullptr;
  }
  std::unique_ptr<TSession> session = std::move(kept_);
  bool spoke = true;
  try {
    spoke = session->Connection->InputPending();
  } catch (const std::exception&) {
  }
  if (!spoke) return session;
  // Its goodbye (421) or the connection's end: a new connection takes over.
  WriteLogQuietly(smtp::texts::kKeptSessionClosed, elInfo);
  return nullptr;
}

std::unique_ptr<TDevice::TSession> TDevice::OpenSession() {
  auto session = std::make_unique<TSession>();
  session->Policy = TlsPolicy();
  try {
    session->Tcp = std::make_unique<net::TTcpConnection>(FSmtpServerName, ConnectPort(),
                                                         platform::DeadlineAfter(TimeLimits.Wait));
  } catch (const net::ENetError& e) {
    throw smtp::ESmtpError(smtp::NetworkFailure(e));
  }
  const net::TTlsPolicyStruct& policy = session->Policy;
  session->Connection = std::make_unique<smtp::TSmtpConnection>(
      *session->Tcp, [&policy](net::TByteStream& plain) { return net::CreateTlsLayer(plain, policy); }, TimeLimits);
  smtp::TSmtpConnection& connection = *session->Connection;
  // The observer as it is now: a kept session outlives neither the object nor a move of it.
  connection.SetObserver([observer = DialogueObserver](smtp::TSmtpDialogueSide side, std::string_view line) {
    WriteLogQuietly(smtp::DialogueLineText(side, line), elDebug);
    if (observer) observer(side, line);
  });
  connection.Open(platform::LocalHostName(), FSecurity.Security);
  const TSmtpAuthMethodOption& method = SmtpAuthMethodInfo(FSecurity.AuthMethod);
  TConnectionReportStruct& report = session->Report;
  const auto beforeCredentials = [&connection](std::string_view) {
    // Only "Авто" and "Без шифрования" ever get here without TLS.
    if (!connection.TlsActive()) WriteLogQuietly(smtp::texts::kLoginInClearText, elWarn);
  };
  if (FSecurity.AuthMethod == TSmtpAuthMethod::amOAuth2 && TokenSource) {
    // A token refused after it came from the cache gets one new token and one more
    // login on the same connection (oauth::LoginWithToken); a refusal says so again.
    sasl::TSaslCredentialsStruct credentials{TokenSource->Settings().Mailbox, {}};
    std::optional<smtp::ESmtpError> refusal;
    const bool accepted =
        oauth::LoginWithToken(*TokenSource, platform::DeadlineAfter(TimeLimits.Wait), [&](const std::string& token) {
          credentials.Password = token;
          try {
            report.AuthMethod =
                connection.Authenticate(credentials, method.Mechanisms, method.Required, beforeCredentials);
            return true;
          } catch (const smtp::ESmtpError& e) {
            if (e.Failure().Class != TSmtpFailureClass::fcLoginRefused) throw;
            refusal = e;
            return false;
          }
        });
    if (TokenSource->TakeRotationNotice()) WriteLogQuietly(std::string(oauth::texts::kRefreshTokenRotated), elWarn);
    if (!accepted) throw *refusal;
  } else {
    report.AuthMethod = connection.Authenticate({FSmtpServerUser, FSmtpServerPassword}, method.Mechanisms,
                                                method.Required, beforeCredentials);
  }
  if (connection.TlsActive()) {
    const net::TTlsSessionInfoStruct tls = connection.TlsSession();
    report.Tls = true;
    report.TlsVersion = VersionText(tls.Version);
    report.Cipher = tls.Cipher;
    report.Subject = tls.Subject;
    report.Issuer = tls.Issuer;
    report.KeySha256 = tls.KeySha256;
    report.Check = policy.Verification == net::TTlsVerification::tvPin      ? TCertificateCheck::ccPinned
                   : policy.Verification == net::TTlsVerification::tvSystem ? TCertificateCheck::ccVerified
                                                                             : TCertificateCheck::ccNone;
  }
  return session;
}

void TDevice::RunReported(const std::function<void()>& work) {
  try {
    work();
  } catch (const std::exception& e) {
    std::string text = ErrorMessage(e);
    if (const auto* smtpError = dynamic_cast<const smtp::ESmtpError*>(&e)) {
      const net::TTlsPolicyStruct policy = TlsPolicy();
      TSmtpFailureStruct failure = smtpError->Failure();
      failure.Host = FSmtpServerName;
      failure.Port = ConnectPort();
      failure.Security = FSecurity.Security;
      failure.TlsVersions = VersionText(policy.MinVersion) + "–" + VersionText(policy.MaxVersion).substr(4);
      text = ExplainSmtpFailure(failure);
    }
    WriteLogQuietly(text, elError);
    throw EDriverError(text, "Exception");
  }
}

TMailEnvelopeStruct TDevice::ComposeMail(const std::string& ARecepients, const std::string& ACcRecepients,
                                         const std::string& ABccRecepients, const std::string& ASubject,
                                         const std::string& ABodyText,
                                         const std::vector<TAttachment>& AAttachmentPathsArray, std::string& out) {
  const TMailMessageStruct message = PrepareMailMessage(FUserEmail, ARecepients, ACcRecepients, ABccRecepients,
                                                        ASubject, ABodyText, AAttachmentPathsArray);
  TMimeComposer composer(message, files_ ? *files_ : DiskFiles());
  while (composer.Next(out)) {
  }
  return {message.EnvelopeSender(), message.EnvelopeRecipients()};
}

}  // namespace eqd
