#include "mail/smtp/smtp_transaction.h"

#include <utility>

#include "mail/codecs/dot_stuffing.h"
#include "mail/smtp/smtp_error.h"
#include "mail/smtp/smtp_texts.h"

namespace eqd::smtp {
namespace {

// The message text on its way to the server: made transparent, then gathered into
// pieces large enough for the network (and for TLS records) before each write.
// `beforeWrite` runs before every write, the one with the end-of-data mark included.
// Counts the bytes of the message itself, as they were before transparency.
class TDataStream final : public TDataSink {
 public:
  TDataStream(TSmtpConnection& connection, std::function<void()> beforeWrite)
      : connection_(connection), beforeWrite_(std::move(beforeWrite)) {
    buffer_.reserve(kChunk + 1024);
  }

  void Write(std::string_view data) override {
    size_ += data.size();
    // Long pieces go through in slices so the buffer never grows past one chunk.
    while (!data.empty()) {
      const std::string_view slice = data.substr(0, kChunk);
      data.remove_prefix(slice.size());
      stuffing_.Update(slice, buffer_);
      if (buffer_.size() >= kChunk) Flush();
    }
  }

  void Finish() {
    stuffing_.Finish(buffer_);
    Flush();
  }

  std::size_t Size() const { return size_; }

 private:
  static constexpr std::size_t kChunk = 64 * 1024;

  void Flush() {
    if (buffer_.empty()) return;
    beforeWrite_();
    connection_.Write(buffer_);
    buffer_.clear();
  }

  TSmtpConnection& connection_;
  std::function<void()> beforeWrite_;
  TDotStuffingFilter stuffing_;
  std::string buffer_;
  std::size_t size_ = 0;
};

bool Accepted(const TSmtpReplyStruct& recipientReply) {
  return recipientReply.Code == 250 || recipientReply.Code == 251;
}

// 552 (RFC 5321: exceeded storage allocation) and 5.3.4 (message too big for system).
bool TooLarge(const TSmtpReplyStruct& reply) {
  return reply.Code == 552 || reply.Text().rfind("5.3.4", 0) == 0;
}

}  // namespace

TSmtpReplyStruct TSmtpTransaction::Send(const TSmtpEnvelopeStruct& envelope, const TMessageWriter& writeMessage) {
  SendEnvelope(envelope);
  connection_.SendCommand("DATA");
  const TSmtpReplyStruct goAhead = connection_.ReadReply();
  if (goAhead.Code != 354) FailWithRset(MessageRefused(goAhead, 0));
  const std::size_t size = SendMessageText(writeMessage);
  TSmtpReplyStruct accepted = connection_.ReadReply();
  if (accepted.Code != 250) FailWithRset(MessageRefused(accepted, size));
  return accepted;
}

void TSmtpTransaction::SendEnvelope(const TSmtpEnvelopeStruct& envelope) {
  std::string mailFrom = "MAIL FROM:<" + envelope.Sender + ">";
  if (!envelope.MailParameters.empty()) mailFrom += " " + envelope.MailParameters;
  if (connection_.HasExtension("PIPELINING")) {
    // A server that announces PIPELINING takes the envelope in one go and answers each
    // command in order; DATA still waits for those answers.
    std::string joined;
    connection_.Tell(TSmtpDialogueSide::dsClient, mailFrom);
    joined += mailFrom + "\r\n";
    for (const std::string& recipient : envelope.Recipients) {
      const std::string command = "RCPT TO:<" + recipient + ">";
      connection_.Tell(TSmtpDialogueSide::dsClient, command);
      joined += command + "\r\n";
    }
    connection_.Write(joined);
    const TSmtpReplyStruct sender = connection_.ReadReply();
    if (sender.Code != 250) throw SenderRefused(sender);
    for (std::size_t i = 0; i < envelope.Recipients.size(); ++i) {
      const TSmtpReplyStruct reply = connection_.ReadReply();
      if (!Accepted(reply)) FailWithRset(RecipientRefused(reply, envelope.Recipients[i]));
    }
    return;
  }
  connection_.SendCommand(mailFrom);
  const TSmtpReplyStruct sender = connection_.ReadReply();
  if (sender.Code != 250) throw SenderRefused(sender);
  for (const std::string& recipient : envelope.Recipients) {
    connection_.SendCommand("RCPT TO:<" + recipient + ">");
    const TSmtpReplyStruct reply = connection_.ReadReply();
    if (!Accepted(reply)) FailWithRset(RecipientRefused(reply, recipient));
  }
}

ESmtpError TSmtpTransaction::SenderRefused(const TSmtpReplyStruct& reply) const {
  if (TooLarge(reply)) return MessageRefused(reply, 0);
  return ESmtpError(TSmtpFailureClass::fcSenderRefused, reply);
}

ESmtpError TSmtpTransaction::RecipientRefused(const TSmtpReplyStruct& reply, const std::string& recipient) const {
  ESmtpError error(TSmtpFailureClass::fcRecipientRefused, reply);
  error.Failure().Recipient = recipient;
  return error;
}

ESmtpError TSmtpTransaction::MessageRefused(const TSmtpReplyStruct& reply, std::size_t size) const {
  ESmtpError error(TooLarge(reply) ? TSmtpFailureClass::fcMessageTooLarge : TSmtpFailureClass::fcMessageRefused, reply);
  error.Failure().MessageSize = size;
  error.Failure().SizeLimit = connection_.SizeLimit();
  return error;
}

std::size_t TSmtpTransaction::SendMessageText(const TMessageWriter& writeMessage) {
  // An error while the text is being produced (an attachment that cannot be read)
  // leaves here before the end-of-data mark is sent: the caller then drops the
  // connection and the server discards the unfinished message.
  TDataStream data(connection_, [this] { FailOnEarlyReply(); });
  writeMessage(data);
  data.Finish();
  connection_.Tell(TSmtpDialogueSide::dsClient,
                   ". (" + std::string(texts::kMessageSizeNote) + std::to_string(data.Size()) + ")");
  return data.Size();
}

void TSmtpTransaction::FailOnEarlyReply() {
  // The server owes no reply before the end-of-data mark. One that answers anyway has
  // not received this message whatever it says, so the mark must not follow.
  if (!connection_.InputPending()) return;
  std::string text = texts::kEarlyReply;
  try {
    text += ": " + connection_.ReadReply(connection_.Limits().QuitWait).Text();
  } catch (const ESmtpError&) {
    // Bytes that make no reply, or the connection's end: the refusal stands alone.
  }
  throw ESmtpError(text);
}

void TSmtpTransaction::FailWithRset(const ESmtpError& refusal) {
  try {
    connection_.SendCommand("RSET");
    connection_.ReadReply();
  } catch (const ESmtpError&) {
    // The refusal is what the host must see, not a failure of the reset after it.
  }
  throw refusal;
}

}  // namespace eqd::smtp
