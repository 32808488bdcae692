// One mail transaction on an open SMTP connection: MAIL FROM, RCPT TO for each recipient
// (in pieces without waiting for each answer when the server announces PIPELINING), DATA
// and the message text, made transparent as it streams. A refused recipient, DATA or
// message is followed by RSET, so the connection could carry another transaction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "mail/smtp/smtp_connection.h"
#include "mail/smtp/smtp_error.h"
#include "mail/smtp/smtp_reply.h"

namespace eqd::smtp {

struct TSmtpEnvelopeStruct {
  std::string Sender;                   // MAIL FROM
  std::vector<std::string> Recipients;  // RCPT TO, in order
  std::string MailParameters;           // after MAIL FROM's address, e.g. "BODY=8BITMIME"; empty: none
};

// What the message asks of the server's extensions.
struct TSmtpMessageNeedsStruct {
  // The message's exact size in octets, asked only when the server announces SIZE
  // (RFC 1870): it then goes out as SIZE= after MAIL FROM's address, and a message larger
  // than the server's announced limit is refused before MAIL FROM. Empty: never told.
  std::function<std::uint64_t()> Size;
  // An address has a local part outside ASCII: MAIL FROM carries SMTPUTF8 (RFC 6531),
  // and a server that does not announce it gets no MAIL FROM at all.
  bool SmtpUtf8 = false;
};

// Where message text goes in pieces.
class TDataSink {
 public:
  virtual ~TDataSink() = default;
  virtual void Write(std::string_view data) = 0;
};

class TSmtpTransaction {
 public:
  // Writes the message text (unstuffed, lines ending in CR LF) to the sink in pieces.
  using TMessageWriter = std::function<void(TDataSink& out)>;

  // With `dataWithEnvelope`, a server that announces PIPELINING gets DATA in the same
  // write as the envelope's last piece (RFC 2920 allows DATA last in a group): one round
  // trip less a message. A recipient refused then is still answered with RSET, after
  // the replies already asked for; should the server have said 354 to DATA all the same,
  // no RSET can follow and the connection must be dropped (the server discards a message
  // left unterminated).
  explicit TSmtpTransaction(TSmtpConnection& connection, bool dataWithEnvelope = false)
      : connection_(connection), dataWithEnvelope_(dataWithEnvelope) {}

  // Runs the transaction and returns the server's reply to the end of the message.
  // Raises ESmtpError with the failure's message, or lets the message writer's own error
  // through; a failure inside the message text leaves the data unterminated, so the
  // server discards it once the connection is dropped.
  TSmtpReplyStruct Send(const TSmtpEnvelopeStruct& envelope, const TMessageWriter& writeMessage,
                        const TSmtpMessageNeedsStruct& needs = {});

  // After Send failed: whether the server can have taken any part of this transaction.
  // False while nothing was written (a refusal before MAIL FROM) and while MAIL FROM's
  // reply was not yet a 250: a connection that fails then can be replaced and the
  // message sent on the new one without reaching anybody twice.
  bool MailAccepted() const { return mailAccepted_; }
  bool EnvelopeWritten() const { return envelopeWritten_; }

 private:
  // MAIL FROM with its parameters; refuses, before anything is sent, a message the
  // server announced it will not take (too large, or needing SMTPUTF8 it lacks).
  std::string MailFromCommand(const TSmtpEnvelopeStruct& envelope, const TSmtpMessageNeedsStruct& needs) const;
  // With `withData`, DATA goes last with the envelope, and this returns after its 354.
  void SendEnvelope(const TSmtpEnvelopeStruct& envelope, const TSmtpMessageNeedsStruct& needs, bool withData);
  // Returns the size of the message text (before transparency).
  std::size_t SendMessageText(const TMessageWriter& writeMessage);
  // Raises ESmtpError when the server sent something while the message is on its way.
  void FailOnEarlyReply();
  // After a write found the connection closed: raises ESmtpError with the reply the
  // server sent before it went, when there is one.
  void FailOnLastWords();
  // The refusals, each with what explains it.
  ESmtpError SenderRefused(const TSmtpReplyStruct& reply) const;
  ESmtpError RecipientRefused(const TSmtpReplyStruct& reply, const std::string& recipient) const;
  ESmtpError MessageRefused(const TSmtpReplyStruct& reply, std::size_t size) const;
  // RSET, then the refusal.
  [[noreturn]] void FailWithRset(const ESmtpError& refusal);

  TSmtpConnection& connection_;
  bool dataWithEnvelope_ = false;
  bool envelopeWritten_ = false;
  bool mailAccepted_ = false;
};

}  // namespace eqd::smtp
