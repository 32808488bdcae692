#include "mail/smtp/device_sender.h"

#include <exception>
#include <memory>
#include <ostream>

#include "automation/errors.h"
#include "mail/event_log.h"
#include "mail/mime/mail_message.h"
#include "mail/mime/mime_composer.h"
#include "mail/smtp/smtp_session.h"
#include "mail/smtp/socket_stream.h"
#include "mail/smtp/tls_layer.h"
#include "platform/tcp_socket.h"

namespace eqd {

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
  RunSession([&](smtp::TSmtpSession& session) {
    session.Send(envelope, [&composer](smtp::TDataSink& out) {
      std::string piece;
      while (composer.Next(piece)) {
        out.Write(piece);
        piece.clear();
      }
    });
  });
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
    dialogue(session);
  } catch (const std::exception& e) {
    const std::string text = e.what();
    try {
      WriteEventLog("TDevice", text, elError);
    } catch (...) {
      // A log that cannot be written must not hide why the send failed.
    }
    throw EDriverError(text, "Exception");
  }
}

TMailEnvelopeStruct TDevice::ComposeMail(const std::string& ARecepients, const std::string& ACcRecepients,
                                         const std::string& ABccRecepients, const std::string& ASubject,
                                         const std::string& ABodyText,
                                         const std::vector<TAttachment>& AAttachmentPathsArray, std::ostream& out) {
  const TMailMessageStruct message = PrepareMailMessage(FUserEmail, ARecepients, ACcRecepients, ABccRecepients,
                                                        ASubject, ABodyText, AAttachmentPathsArray);
  TMimeComposer composer(message, files_ ? *files_ : DiskFiles());
  std::string piece;
  while (composer.Next(piece)) {
    out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
    piece.clear();
  }
  return {message.EnvelopeSender(), message.EnvelopeRecipients()};
}

}  // namespace eqd
