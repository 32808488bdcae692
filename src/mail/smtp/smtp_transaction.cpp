#include "mail/smtp/smtp_transaction.h"

#include <charconv>
#include <optional>
#include <utility>

#include "automation/ascii_case.h"
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

// The limit of the SIZE extension line ("SIZE 10240000"): nullopt when SIZE is not
// announced, 0 when it is announced without a limit (or with one that is not a number).
std::optional<std::uint64_t> AnnouncedSizeLimit(const TSmtpConnection& connection) {
  if (!connection.HasExtension("SIZE")) return std::nullopt;
  for (const std::string& line : connection.Extensions()) {
    const std::string_view text(line);
    if (text.size() < 6 || text[4] != ' ' || !AsciiSameText(text.substr(0, 4), "SIZE")) continue;
    const std::string_view value = text.substr(5);
    std::uint64_t limit = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), limit);
    if (error == std::errc() && end == value.data() + value.size()) return limit;
  }
  return 0;
}

bool Accepted(const TSmtpReplyStruct& recipientReply) {
  return recipientReply.Code == 250 || recipientReply.Code == 251;
}

}  // namespace

TSmtpReplyStruct TSmtpTransaction::Send(const TSmtpEnvelopeStruct& envelope, const TMessageWriter& writeMessage,
                                        const TSmtpMessageNeedsStruct& needs) {
  SendEnvelope(envelope, needs);
  connection_.SendCommand("DATA");
  const TSmtpReplyStruct goAhead = connection_.ReadReply();
  if (goAhead.Code != 354) FailWithRset(goAhead);
  SendMessageText(writeMessage);
  TSmtpReplyStruct accepted = connection_.ReadReply();
  if (accepted.Code != 250) FailWithRset(accepted);
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
  if (const std::optional<std::uint64_t> limit = AnnouncedSizeLimit(connection_); limit && needs.Size) {
    const std::uint64_t size = needs.Size();
    if (*limit > 0 && size > *limit)
      throw ESmtpError(std::string(texts::kMessageTooLarge) + std::to_string(size) + texts::kServerSizeLimit +
                       std::to_string(*limit));
    mailFrom += " SIZE=" + std::to_string(size);
  }
  return mailFrom;
}

void TSmtpTransaction::SendEnvelope(const TSmtpEnvelopeStruct& envelope, const TSmtpMessageNeedsStruct& needs) {
  const std::string mailFrom = MailFromCommand(envelope, needs);
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
    if (sender.Code != 250) throw ESmtpError(sender.Text());
    for (std::size_t i = 0; i < envelope.Recipients.size(); ++i) {
      const TSmtpReplyStruct reply = connection_.ReadReply();
      if (!Accepted(reply)) FailWithRset(reply);
    }
    return;
  }
  connection_.SendCommand(mailFrom);
  const TSmtpReplyStruct sender = connection_.ReadReply();
  if (sender.Code != 250) throw ESmtpError(sender.Text());
  for (const std::string& recipient : envelope.Recipients) {
    connection_.SendCommand("RCPT TO:<" + recipient + ">");
    const TSmtpReplyStruct reply = connection_.ReadReply();
    if (!Accepted(reply)) FailWithRset(reply);
  }
}

void TSmtpTransaction::SendMessageText(const TMessageWriter& writeMessage) {
  // An error while the text is being produced (an attachment that cannot be read)
  // leaves here before the end-of-data mark is sent: the caller then drops the
  // connection and the server discards the unfinished message.
  TDataStream data(connection_, [this] { FailOnEarlyReply(); });
  writeMessage(data);
  data.Finish();
  connection_.Tell(TSmtpDialogueSide::dsClient,
                   ". (" + std::string(texts::kMessageSizeNote) + std::to_string(data.Size()) + ")");
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

void TSmtpTransaction::FailWithRset(const TSmtpReplyStruct& reply) {
  try {
    connection_.SendCommand("RSET");
    connection_.ReadReply();
  } catch (const ESmtpError&) {
    // The refusal is what the host must see, not a failure of the reset after it.
  }
  throw ESmtpError(reply.Text());
}

}  // namespace eqd::smtp
