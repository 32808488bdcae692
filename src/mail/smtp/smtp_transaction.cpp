#include "mail/smtp/smtp_transaction.h"

#include <algorithm>
#include <optional>
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
  // `onLost` runs when a write finds the connection closed, before that error goes on.
  TDataStream(TSmtpConnection& connection, std::function<void()> beforeWrite, std::function<void()> onLost)
      : connection_(connection), beforeWrite_(std::move(beforeWrite)), onLost_(std::move(onLost)) {
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
    try {
      connection_.Write(buffer_);
    } catch (const ESmtpConnectionLost&) {
      onLost_();
      throw;
    }
    buffer_.clear();
  }

  TSmtpConnection& connection_;
  std::function<void()> beforeWrite_;
  std::function<void()> onLost_;
  TDotStuffingFilter stuffing_;
  std::string buffer_;
  std::size_t size_ = 0;
};

// Envelope commands written together, and left unanswered at most, when the server
// pipelines: their answers (at most 512 bytes each, mostly far less) fit the receive
// buffers of every system.
constexpr std::size_t kPipelinePiece = 50;
constexpr std::size_t kPipelineWindow = 100;

bool Accepted(const TSmtpReplyStruct& recipientReply) {
  return recipientReply.Code == 250 || recipientReply.Code == 251;
}

// 552 (RFC 5321: exceeded storage allocation) and 5.3.4 (message too big for system).
bool TooLarge(const TSmtpReplyStruct& reply) {
  return reply.Code == 552 || reply.Text().rfind("5.3.4", 0) == 0;
}

}  // namespace

TSmtpReplyStruct TSmtpTransaction::Send(const TSmtpEnvelopeStruct& envelope, const TMessageWriter& writeMessage,
                                        const TSmtpMessageNeedsStruct& needs) {
  const bool dataSent = dataWithEnvelope_ && connection_.HasExtension("PIPELINING");
  SendEnvelope(envelope, needs, dataSent);
  if (!dataSent) {
    connection_.SendCommand("DATA");
    const TSmtpReplyStruct goAhead = connection_.ReadReply();
    if (goAhead.Code != 354) FailWithRset(MessageRefused(goAhead, 0));
  }
  const std::size_t size = SendMessageText(writeMessage);
  TSmtpReplyStruct accepted = connection_.ReadReply();
  if (accepted.Code != 250) FailWithRset(MessageRefused(accepted, size));
  return accepted;
}

std::string TSmtpTransaction::MailFromCommand(const TSmtpEnvelopeStruct& envelope,
                                              const TSmtpMessageNeedsStruct& needs) const {
  std::string mailFrom = "MAIL FROM:<" + envelope.Sender + ">";
  if (!envelope.MailParameters.empty()) mailFrom += " " + envelope.MailParameters;
  if (needs.SmtpUtf8) {
    if (!connection_.HasExtension("SMTPUTF8")) throw ESmtpError(texts::kSmtpUtf8NotAnnounced);
    mailFrom += " SMTPUTF8";
  }
  if (connection_.HasExtension("SIZE") && needs.Size) {
    const std::uint64_t size = needs.Size();
    const std::uint64_t limit = connection_.SizeLimit();  // 0: announced without a limit
    if (limit > 0 && size > limit) {
      ESmtpError error(std::string(texts::kMessageTooLarge) + std::to_string(size) + texts::kServerSizeLimit +
                           std::to_string(limit),
                       TSmtpFailureClass::fcMessageTooLarge);
      error.Failure().MessageSize = size;
      error.Failure().SizeLimit = limit;
      throw error;
    }
    mailFrom += " SIZE=" + std::to_string(size);
  }
  return mailFrom;
}

void TSmtpTransaction::SendEnvelope(const TSmtpEnvelopeStruct& envelope, const TSmtpMessageNeedsStruct& needs,
                                    bool withData) {
  std::vector<std::string> commands;
  commands.reserve(envelope.Recipients.size() + 2);
  commands.push_back(MailFromCommand(envelope, needs));
  for (const std::string& recipient : envelope.Recipients) commands.push_back("RCPT TO:<" + recipient + ">");
  if (withData) commands.push_back("DATA");
  const std::size_t recipientsEnd = envelope.Recipients.size() + 1;
  // The first recipient refused, when DATA went with the envelope: its reply and DATA's
  // are read before the reset.
  std::optional<ESmtpError> refused;
  // The reply to command `index` of the envelope: the sender's is refused as it is, a
  // recipient's with a reset.
  const auto take = [&](std::size_t index) {
    const TSmtpReplyStruct reply = connection_.ReadReply();
    if (index == 0) {
      if (reply.Code != 250) throw SenderRefused(reply);
      mailAccepted_ = true;
    } else if (index < recipientsEnd) {
      if (Accepted(reply)) return;
      ESmtpError refusal = RecipientRefused(reply, envelope.Recipients[index - 1]);
      if (!withData) FailWithRset(refusal);
      if (!refused) refused = std::move(refusal);
    } else if (refused) {
      // In the message's text a reset would be a line of it.
      if (reply.Code == 354) throw *refused;
      FailWithRset(*refused);
    } else if (reply.Code != 354) {
      FailWithRset(MessageRefused(reply, 0));
    }
  };

  envelopeWritten_ = true;
  if (!connection_.HasExtension("PIPELINING")) {
    for (std::size_t i = 0; i < commands.size(); ++i) {
      connection_.SendCommand(commands[i]);
      take(i);
    }
    return;
  }
  // A server that announces PIPELINING takes the envelope in pieces and answers each
  // command in order; DATA still waits for every answer. A server may answer each command
  // as it reads it: so that it never stops reading because its answers back up while this
  // side still writes, no more commands are left unanswered than kPipelineWindow, and the
  // answers already there are taken before each piece.
  std::size_t sent = 0;
  std::size_t answered = 0;
  while (sent < commands.size()) {
    const std::size_t piece = std::min(kPipelinePiece, commands.size() - sent);
    while (answered < sent && (sent + piece - answered > kPipelineWindow || connection_.InputPending()))
      take(answered++);
    std::string joined;
    for (std::size_t i = sent; i < sent + piece; ++i) {
      connection_.Tell(TSmtpDialogueSide::dsClient, commands[i]);
      joined += commands[i] + "\r\n";
    }
    connection_.Write(joined);
    sent += piece;
  }
  while (answered < sent) take(answered++);
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
  TDataStream data(connection_, [this] { FailOnEarlyReply(); }, [this] { FailOnLastWords(); });
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

void TSmtpTransaction::FailOnLastWords() {
  // The server went while the message was on its way. What it said before it went (its
  // refusal, already in the receive buffer) is what the host must see, whichever of the
  // two the client met first.
  std::string text;
  try {
    text = connection_.ReadReply(connection_.Limits().QuitWait).Text();
  } catch (const ESmtpError&) {
    return;  // it said nothing: the closed connection is the failure
  }
  throw ESmtpError(std::string(texts::kEarlyReply) + ": " + text);
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
