#include "mail/smtp/smtp_session.h"

#include <utility>

#include "automation/value_text.h"
#include "mail/codecs/base64.h"
#include "mail/codecs/dot_stuffing.h"
#include "mail/smtp/smtp_error.h"
#include "mail/smtp/smtp_texts.h"

namespace eqd::smtp {
namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

// The message text on its way to the server: made transparent, then gathered into
// pieces large enough for the network (and for TLS records) before each write.
// `beforeWrite` runs before every write, the one with the end-of-data mark included.
// Counts the bytes of the message itself, as they were before transparency.
class TDataStream final : public TDataSink {
 public:
  TDataStream(TByteStream& stream, std::function<void()> beforeWrite)
      : stream_(stream), beforeWrite_(std::move(beforeWrite)) {
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
    stream_.Write(buffer_);
    buffer_.clear();
  }

  TByteStream& stream_;
  std::function<void()> beforeWrite_;
  TDotStuffingFilter stuffing_;
  std::string buffer_;
  std::size_t size_ = 0;
};

}  // namespace

TSmtpSession::TSmtpSession(TByteStream& transport, TTlsStarter startTls, TSmtpTimeLimitsStruct limits)
    : plain_(transport), stream_(&transport), startTls_(std::move(startTls)), limits_(limits) {}

TSmtpSession::~TSmtpSession() = default;

TSmtpReplyStruct TSmtpSession::Send(const TSmtpEnvelopeStruct& envelope, const TMessageWriter& writeMessage) {
  Run(envelope, &writeMessage);
  return std::move(dataEndReply_);
}

void TSmtpSession::Check(const TSmtpEnvelopeStruct& envelope) { Run(envelope, nullptr); }

void TSmtpSession::Run(const TSmtpEnvelopeStruct& envelope, const TMessageWriter* writeMessage) {
  envelope_ = &envelope;
  writeMessage_ = writeMessage;
  nextRecipient_ = 0;
  answeredRecipients_ = 0;
  dataEndReply_ = {};
  TState state = TState::ssGreeting;
  while (state != TState::ssQuit) {
    const TSmtpReplyStruct reply = ReadReply();
    switch (state) {
      case TState::ssGreeting: state = OnGreeting(reply); break;
      case TState::ssEhlo: state = OnEhlo(reply); break;
      case TState::ssHelo: state = OnHelo(reply); break;
      case TState::ssStartTls: state = OnStartTls(reply); break;
      case TState::ssAuthLogin: state = OnAuthLogin(reply); break;
      case TState::ssAuthUser: state = OnAuthUser(reply); break;
      case TState::ssAuthPassword: state = OnAuthPassword(reply); break;
      case TState::ssMailFrom: state = OnMailFrom(reply); break;
      case TState::ssRcptTo: state = OnRcptTo(reply); break;
      case TState::ssData: state = OnData(reply); break;
      case TState::ssDataEnd: state = OnDataEnd(reply); break;
      case TState::ssQuit:
      case TState::ssDone: break;
    }
  }
  // The server has taken the message (or, for a check, the login). How it answers
  // QUIT, or whether it answers at all, cannot undo that, and reporting a failure now
  // would make the host send the message a second time.
  try {
    SendCommand("QUIT");
    ReadReply(limits_.QuitWait);
  } catch (const ESmtpError&) {
  }
  if (tls_) tls_->Close();
  envelope_ = nullptr;
  writeMessage_ = nullptr;
}

TSmtpSession::TState TSmtpSession::OnGreeting(const TSmtpReplyStruct& reply) {
  if (reply.Code != 220) throw ESmtpError(reply.Text());
  SendCommand("EHLO " + envelope_->HeloName);
  return TState::ssEhlo;
}

TSmtpSession::TState TSmtpSession::OnEhlo(const TSmtpReplyStruct& reply) {
  if (reply.Code != 250) {
    SendCommand("HELO " + envelope_->HeloName);
    return TState::ssHelo;
  }
  extensions_.assign(reply.Lines.begin() + 1, reply.Lines.end());
  return AfterHello();
}

TSmtpSession::TState TSmtpSession::OnHelo(const TSmtpReplyStruct& reply) {
  if (reply.Code != 250) throw ESmtpError(reply.Text());
  extensions_.clear();
  return AfterHello();
}

TSmtpSession::TState TSmtpSession::AfterHello() {
  // After the upgrade the server may list STARTTLS again; one upgrade is all there is.
  if (!tls_ && HasExtension("STARTTLS")) {
    SendCommand("STARTTLS");
    return TState::ssStartTls;
  }
  if (!envelope_->User.empty() && AuthLoginAnnounced()) {
    SendCommand("AUTH LOGIN");
    return TState::ssAuthLogin;
  }
  return StartMailFrom();
}

TSmtpSession::TState TSmtpSession::OnStartTls(const TSmtpReplyStruct& reply) {
  if (reply.Code != 220) throw ESmtpError(texts::kStartTlsRefused);
  // Bytes the server sent after its 220 in plain text would be taken for replies
  // inside the protected session; nobody honest sends them.
  if (!received_.empty()) throw ESmtpError(texts::kTlsHandshakeFailed);
  try {
    std::unique_ptr<TTlsLayer> layer = startTls_(plain_);
    plain_.SetReadDeadline(std::chrono::steady_clock::now() + limits_.Wait);
    layer->Handshake();
    plain_.SetReadDeadline(std::nullopt);
    tls_ = std::move(layer);
  } catch (const std::exception&) {
    throw ESmtpError(texts::kTlsHandshakeFailed);
  }
  stream_ = tls_.get();
  SendCommand("EHLO " + envelope_->HeloName);
  return TState::ssEhlo;
}

TSmtpSession::TState TSmtpSession::OnAuthLogin(const TSmtpReplyStruct& reply) {
  if (reply.Code != 334) throw ESmtpError(reply.Text());
  SendCommand(Base64Encode(envelope_->User), true);
  return TState::ssAuthUser;
}

TSmtpSession::TState TSmtpSession::OnAuthUser(const TSmtpReplyStruct& reply) {
  if (reply.Code == 235) return StartMailFrom();
  if (reply.Code != 334) throw ESmtpError(reply.Text());
  SendCommand(Base64Encode(envelope_->Password), true);
  return TState::ssAuthPassword;
}

TSmtpSession::TState TSmtpSession::OnAuthPassword(const TSmtpReplyStruct& reply) {
  if (reply.Code != 235) throw ESmtpError(reply.Text());
  return StartMailFrom();
}

TSmtpSession::TState TSmtpSession::StartMailFrom() {
  if (writeMessage_ == nullptr) return TState::ssQuit;
  std::vector<std::string> commands{"MAIL FROM:<" + envelope_->Sender + ">"};
  // A server that announces PIPELINING takes the envelope in one go and answers each
  // command in order; DATA still waits for those answers.
  if (HasExtension("PIPELINING")) {
    for (const std::string& recipient : envelope_->Recipients) commands.push_back("RCPT TO:<" + recipient + ">");
    nextRecipient_ = envelope_->Recipients.size();
  }
  std::string joined;
  for (const std::string& command : commands) {
    Tell(TSmtpDialogueSide::dsClient, command);
    joined += command + "\r\n";
  }
  stream_->Write(joined);
  return TState::ssMailFrom;
}

TSmtpSession::TState TSmtpSession::OnMailFrom(const TSmtpReplyStruct& reply) {
  if (reply.Code != 250) throw ESmtpError(reply.Text());
  return answeredRecipients_ < nextRecipient_ ? TState::ssRcptTo : NextRecipient();
}

TSmtpSession::TState TSmtpSession::OnRcptTo(const TSmtpReplyStruct& reply) {
  if (reply.Code != 250 && reply.Code != 251) FailWithRset(reply);
  ++answeredRecipients_;
  return answeredRecipients_ < nextRecipient_ ? TState::ssRcptTo : NextRecipient();
}

// The next RCPT TO, or DATA once every recipient is accepted.
TSmtpSession::TState TSmtpSession::NextRecipient() {
  if (nextRecipient_ < envelope_->Recipients.size()) {
    SendCommand("RCPT TO:<" + envelope_->Recipients[nextRecipient_++] + ">");
    return TState::ssRcptTo;
  }
  SendCommand("DATA");
  return TState::ssData;
}

TSmtpSession::TState TSmtpSession::OnData(const TSmtpReplyStruct& reply) {
  if (reply.Code != 354) FailWithRset(reply);
  SendMessageText();
  return TState::ssDataEnd;
}

TSmtpSession::TState TSmtpSession::OnDataEnd(const TSmtpReplyStruct& reply) {
  if (reply.Code != 250) FailWithRset(reply);
  dataEndReply_ = reply;
  return TState::ssQuit;
}

void TSmtpSession::SendMessageText() {
  // An error while the text is being produced (an attachment that cannot be read)
  // leaves here before the end-of-data mark is sent: the caller then drops the
  // connection and the server discards the unfinished message.
  TDataStream data(*stream_, [this] { FailOnEarlyReply(); });
  (*writeMessage_)(data);
  data.Finish();
  Tell(TSmtpDialogueSide::dsClient, ". (" + std::string(texts::kMessageSizeNote) + std::to_string(data.Size()) + ")");
}

void TSmtpSession::FailOnEarlyReply() {
  // The server owes no reply before the end-of-data mark. One that answers anyway has
  // not received this message whatever it says, so the mark must not follow.
  if (received_.empty() && !stream_->InputPending()) return;
  std::string text = texts::kEarlyReply;
  try {
    text += ": " + ReadReply(limits_.QuitWait).Text();
  } catch (const ESmtpError&) {
    // Bytes that make no reply, or the connection's end: the refusal stands alone.
  }
  throw ESmtpError(text);
}

void TSmtpSession::FailWithRset(const TSmtpReplyStruct& reply) {
  try {
    SendCommand("RSET");
    ReadReply();
  } catch (const ESmtpError&) {
    // The refusal is what the host must see, not a failure of the reset after it.
  }
  throw ESmtpError(reply.Text());
}

bool TSmtpSession::HasExtension(const std::string& keyword) const {
  for (const std::string& line : extensions_) {
    const std::string_view word = std::string_view(line).substr(0, line.find(' '));
    if (EqualsIgnoringCase(word, keyword)) return true;
  }
  return false;
}

bool TSmtpSession::AuthLoginAnnounced() const {
  for (const std::string& line : extensions_) {
    if (line.size() < 5 || !EqualsIgnoringCase(std::string_view(line).substr(0, 4), "AUTH") ||
        (line[4] != ' ' && line[4] != '='))
      continue;
    std::size_t pos = 5;
    while (pos < line.size()) {
      const std::size_t end = line.find_first_of(" =", pos);
      const std::string_view name =
          std::string_view(line).substr(pos, end == std::string::npos ? std::string::npos : end - pos);
      if (EqualsIgnoringCase(name, "LOGIN")) return true;
      if (end == std::string::npos) break;
      pos = end + 1;
    }
  }
  return false;
}

void TSmtpSession::SendCommand(const std::string& command, bool secret) {
  Tell(TSmtpDialogueSide::dsClient, secret ? kSecretMask : std::string_view(command));
  stream_->Write(command + "\r\n");
}

void TSmtpSession::Tell(TSmtpDialogueSide side, std::string_view line) const {
  if (observer_) observer_(side, line);
}

TSmtpReplyStruct TSmtpSession::ReadReply(std::chrono::milliseconds limit) {
  // One deadline for the whole reply, however the server spreads its lines over time;
  // writes and the message text keep their own limit.
  plain_.SetReadDeadline(std::chrono::steady_clock::now() + limit);
  char chunk[4096];
  for (;;) {
    const std::size_t used = reader_.Feed(received_);
    received_.erase(0, used);
    if (reader_.Complete()) {
      plain_.SetReadDeadline(std::nullopt);
      TSmtpReplyStruct reply = reader_.Take();
      for (std::size_t i = 0; i < reply.Lines.size(); ++i) Tell(TSmtpDialogueSide::dsServer, reply.WireLine(i));
      return reply;
    }
    const std::size_t n = stream_->Read(chunk, sizeof chunk);
    if (n == 0) throw ESmtpError(texts::kConnectionClosed);
    received_.append(chunk, n);
  }
}

}  // namespace eqd::smtp
