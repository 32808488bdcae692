// The SMTP dialogue of one send, as a state machine over a byte stream: one handler
// per expected reply decides what to send next. No sockets inside; the caller opens
// the connection, and a test can hand in a scripted stream instead.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mail/smtp/byte_stream.h"
#include "mail/smtp/smtp_reply.h"
#include "mail/smtp/smtp_time_limits.h"
#include "mail/smtp/tls_layer.h"

namespace eqd::smtp {

struct TSmtpEnvelopeStruct {
  std::string HeloName;                 // our name in EHLO / HELO
  std::string User;                     // empty: no authentication
  std::string Password;
  std::string Sender;                   // MAIL FROM
  std::vector<std::string> Recipients;  // RCPT TO, in order
};

class TSmtpSession {
 public:
  // Puts a TLS layer over the plain stream after the server agreed to STARTTLS.
  using TTlsStarter = std::function<std::unique_ptr<TTlsLayer>(TByteStream& plain)>;
  // Writes the message text (unstuffed, lines ending in CR LF) to the sink in pieces.
  using TMessageWriter = std::function<void(TDataSink& out)>;

  // `transport` is the connection itself: the deadline of each reply is set on it.
  TSmtpSession(TByteStream& transport, TTlsStarter startTls, TSmtpTimeLimitsStruct limits = {});
  ~TSmtpSession();
  TSmtpSession(const TSmtpSession&) = delete;
  TSmtpSession& operator=(const TSmtpSession&) = delete;

  // Runs the whole dialogue from the greeting to QUIT. Raises ESmtpError with the
  // failure's message, or lets the message writer's own error through; after a
  // failure the connection must be closed, and a failure inside the message text
  // leaves the data unterminated so the server discards it.
  void Send(const TSmtpEnvelopeStruct& envelope, const TMessageWriter& writeMessage);
  // The dialogue of a send up to and including the login (EHLO or HELO, STARTTLS and
  // the handshake when offered, AUTH LOGIN when announced), then QUIT: the envelope's
  // sender and recipients are not used and no message is sent. Fails as Send fails.
  void Check(const TSmtpEnvelopeStruct& envelope);

  bool TlsActive() const { return tls_ != nullptr; }
  // The extension lines of the last EHLO reply.
  const std::vector<std::string>& Extensions() const { return extensions_; }

 private:
  enum class TState {
    ssGreeting, ssEhlo, ssHelo, ssStartTls, ssAuthLogin, ssAuthUser, ssAuthPassword,
    ssMailFrom, ssRcptTo, ssData, ssDataEnd, ssQuit, ssDone,
  };

  TState OnGreeting(const TSmtpReplyStruct& reply);
  TState OnEhlo(const TSmtpReplyStruct& reply);
  TState OnHelo(const TSmtpReplyStruct& reply);
  TState OnStartTls(const TSmtpReplyStruct& reply);
  TState OnAuthLogin(const TSmtpReplyStruct& reply);
  TState OnAuthUser(const TSmtpReplyStruct& reply);
  TState OnAuthPassword(const TSmtpReplyStruct& reply);
  TState OnMailFrom(const TSmtpReplyStruct& reply);
  TState OnRcptTo(const TSmtpReplyStruct& reply);
  TState OnData(const TSmtpReplyStruct& reply);
  TState OnDataEnd(const TSmtpReplyStruct& reply);

  void Run(const TSmtpEnvelopeStruct& envelope, const TMessageWriter* writeMessage);
  TState AfterHello();
  TState StartMailFrom();
  TState NextRecipient();
  bool HasExtension(const std::string& keyword) const;
  bool AuthLoginAnnounced() const;
  void SendCommand(const std::string& command);
  // The next reply, whole within `limit` from now.
  TSmtpReplyStruct ReadReply(std::chrono::milliseconds limit);
  TSmtpReplyStruct ReadReply() { return ReadReply(limits_.Wait); }
  [[noreturn]] void FailWithRset(const TSmtpReplyStruct& reply);
  // Raises ESmtpError when the server sent something while the message is on its way.
  void FailOnEarlyReply();
  void SendMessageText();

  TByteStream& plain_;
  TByteStream* stream_;  // plain_, or the TLS layer over it
  TTlsStarter startTls_;
  TSmtpTimeLimitsStruct limits_;
  std::unique_ptr<TTlsLayer> tls_;
  TSmtpReplyReader reader_;
  std::string received_;  // bytes read but not yet part of a reply
  std::vector<std::string> extensions_;
  const TSmtpEnvelopeStruct* envelope_ = nullptr;
  const TMessageWriter* writeMessage_ = nullptr;  // null: a check, no envelope follows the login
  std::size_t nextRecipient_ = 0;       // RCPT TO commands sent
  std::size_t answeredRecipients_ = 0;  // ... and accepted
};

}  // namespace eqd::smtp
