#include "mail/smtp/device_sender.h"

#include <exception>
#include <memory>

#include "automation/errors.h"
#include "mail/event_log.h"
#include "mail/mime/mail_message.h"
#include "mail/mime/mime_composer.h"
#include "mail/smtp/smtp_session.h"
#include "mail/smtp/smtp_texts.h"
#include "mail/smtp/socket_stream.h"
#include "mail/smtp/tls_layer.h"
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

void TDevice::SendMail(const std::string& ARecepients, const std::string& ACcRecepients,
                       const std::string& ABccRecepients, const std::string& ASubject,
                       const std::string& ABodyText, const std::vector<TAttachment>& AAttachmentPathsArray) {
  // Refusals of the input come before any connection and go to the caller as they are.
  const TMailMessageStruct message = PrepareMailMessage(FUserEmail, ARecepients, ACcRecepients, ABccRecepients,
                                                        ASubject, ABodyText, AAttachmentPathsArray);
  const smtp::TSmtpEnvelopeStruct envelope{platform::LocalHostName(), FSmtpServerUser, FSmtpServerPassword,
                                           message.EnvelopeSender(), message.EnvelopeRecipients()};
  TMimeComposer composer(message, files_ ? *files_ : DiskFiles());
  smtp::TSmtpReplyStruct accepted;
  RunSession([&](smtp::TSmtpSession& session) {
    accepted = session.Send(envelope, [&composer](smtp::TDataSink& out) {
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
  const smtp::TSmtpEnvelopeStruct envelope{platform::LocalHostName(), FSmtpServerUser, FSmtpServerPassword, {}, {}};
  RunSession([&](smtp::TSmtpSession& session) { session.Check(envelope); });
}

void TDevice::RunSession(const std::function<void(smtp::TSmtpSession&)>& dialogue) {
  try {
    // Declared in this order so the TLS layer goes before the connection under it.
    smtp::TSocketStream connection(FSmtpServerName, ConnectPort(), TimeLimits.Wait);
    smtp::TSmtpSession session(
        connection, [this](smtp::TByteStream& plain) { return smtp::CreateTlsLayer(plain, FSmtpServerName); },
        TimeLimits);
    session.SetObserver([this](smtp::TSmtpDialogueSide side, std::string_view line) {
      WriteLogQuietly(smtp::DialogueLineText(side, line), elDebug);
      if (DialogueObserver) DialogueObserver(side, line);
    });
    dialogue(session);
  } catch (const std::exception& e) {
    const std::string text = e.what();
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
