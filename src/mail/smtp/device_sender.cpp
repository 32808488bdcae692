#include "mail/smtp/device_sender.h"

#include <exception>
#include <memory>

#include "automation/errors.h"
#include "mail/event_log.h"
#include "mail/mime/mail_message.h"
#include "mail/mime/mime_composer.h"
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
  return port == 465 ? 25 : port;
}

net::TTlsPolicyStruct TDevice::TlsPolicy() const {
  net::TTlsPolicyStruct policy;
  policy.MinVersion = net::TTlsVersion::tvTls10;
  policy.MaxVersion = net::TTlsVersion::tvTls12;
  policy.ServerName = FSmtpServerName;
  policy.Verification = net::TTlsVerification::tvNone;
  return policy;
}

void TDevice::SendMail(const std::string& ARecepients, const std::string& ACcRecepients,
                       const std::string& ABccRecepients, const std::string& ASubject,
                       const std::string& ABodyText, const std::vector<TAttachment>& AAttachmentPathsArray) {
  // Refusals of the input come before any connection and go to the caller as they are.
  const TMailMessageStruct message = PrepareMailMessage(FUserEmail, ARecepients, ACcRecepients, ABccRecepients,
                                                        ASubject, ABodyText, AAttachmentPathsArray);
  const smtp::TSmtpEnvelopeStruct envelope{message.EnvelopeSender(), message.EnvelopeRecipients(), {}};
  TMimeComposer composer(message, files_ ? *files_ : DiskFiles());
  smtp::TSmtpReplyStruct accepted;
  RunSession([&](smtp::TSmtpConnection& connection) {
    accepted = smtp::TSmtpTransaction(connection).Send(envelope, [&composer](smtp::TDataSink& out) {
      std::string piece;
      while (composer.Next(piece)) {
        out.Write(piece);
        piece.clear();
      }
    });
  });
  WriteLogQuietly(std::string(smtp::texts::kDelivered) + std::to_string(envelope.Recipients.size()) + "; " +
                      smtp::texts::kServerReply + accepted.CodeAndText(),
                  elInfo);
}

void TDevice::TestConnection() {
  RunSession([](smtp::TSmtpConnection&) {});
}

void TDevice::RunSession(const std::function<void(smtp::TSmtpConnection&)>& transaction) {
  try {
    std::unique_ptr<net::TTcpConnection> tcp;
    try {
      tcp = std::make_unique<net::TTcpConnection>(FSmtpServerName, ConnectPort(),
                                                  platform::DeadlineAfter(TimeLimits.Wait));
    } catch (const net::ENetError& e) {
      throw smtp::ESmtpError(smtp::NetworkFailureText(e, FSmtpServerName, ConnectPort()));
    }
    // Declared after the TCP connection, so its TLS layer goes before the connection under it.
    smtp::TSmtpConnection connection(
        *tcp, [this](net::TByteStream& plain) { return net::CreateTlsLayer(plain, TlsPolicy()); }, TimeLimits);
    connection.SetObserver([this](smtp::TSmtpDialogueSide side, std::string_view line) {
      WriteLogQuietly(smtp::DialogueLineText(side, line), elDebug);
      if (DialogueObserver) DialogueObserver(side, line);
    });
    connection.Open(platform::LocalHostName());
    connection.Authenticate({FSmtpServerUser, FSmtpServerPassword});
    transaction(connection);
    connection.Quit();
  } catch (const std::exception& e) {
    const std::string text = ErrorMessage(e);
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
