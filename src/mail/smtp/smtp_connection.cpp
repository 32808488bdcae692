#include "mail/smtp/smtp_connection.h"

#include <algorithm>
#include <utility>

#include "automation/ascii_case.h"
#include "automation/value_text.h"
#include "mail/codecs/base64.h"
#include "mail/smtp/network_failure_text.h"
#include "mail/smtp/smtp_error.h"
#include "mail/smtp/smtp_texts.h"
#include "net/net_error.h"

namespace eqd::smtp {
namespace {

// Runs one step of the stream; its network failure leaves as ESmtpError with the text
// the host is shown.
template <typename TStep>
auto OnStream(TStep&& step) -> decltype(step()) {
  try {
    return step();
  } catch (const net::ENetError& e) {
    if (e.Kind() == net::TNetErrorKind::neClosed) throw ESmtpConnectionLost(NetworkFailureText(e));
    throw ESmtpError(NetworkFailureText(e));
  }
}

}  // namespace

TSmtpConnection::TSmtpConnection(net::TByteStream& transport, TTlsStarter startTls, TSmtpTimeLimitsStruct limits)
    : plain_(transport), stream_(&transport), startTls_(std::move(startTls)), limits_(limits) {}

TSmtpConnection::~TSmtpConnection() = default;

void TSmtpConnection::Open(const std::string& heloName) {
  heloName_ = heloName;
  const TSmtpReplyStruct greeting = ReadReply();
  if (greeting.Code != 220) throw ESmtpError(greeting.Text());
  Hello();
  // After the upgrade the server may list STARTTLS again; one upgrade is all there is.
  if (HasExtension("STARTTLS")) {
    StartTls();
    Hello();
  }
}

void TSmtpConnection::Hello() {
  SendCommand("EHLO " + heloName_);
  const TSmtpReplyStruct ehlo = ReadReply();
  if (ehlo.Code == 250) {
    extensions_.assign(ehlo.Lines.begin() + 1, ehlo.Lines.end());
    return;
  }
  SendCommand("HELO " + heloName_);
  const TSmtpReplyStruct helo = ReadReply();
  if (helo.Code != 250) throw ESmtpError(helo.Text());
  extensions_.clear();
}

void TSmtpConnection::StartTls() {
  SendCommand("STARTTLS");
  if (ReadReply().Code != 220) throw ESmtpError(texts::kStartTlsRefused);
  // Bytes the server sent after its 220 in plain text would be taken for replies
  // inside the protected session; nobody honest sends them.
  if (!received_.empty()) throw ESmtpError(texts::kTlsHandshakeFailed);
  try {
    std::unique_ptr<net::TTlsLayer> layer = startTls_(plain_);
    layer->Handshake(platform::DeadlineAfter(limits_.Wait));
    tls_ = std::move(layer);
  } catch (const net::ENetError& e) {
    throw ESmtpError(NetworkFailureText(e));
  } catch (const std::exception&) {
    throw ESmtpError(texts::kTlsHandshakeFailed);
  }
  stream_ = tls_.get();
}

void TSmtpConnection::Authenticate(const sasl::TSaslCredentialsStruct& credentials,
                                   std::span<const sasl::TSaslMechanismId> preferred) {
  if (credentials.User.empty()) return;
  const std::unique_ptr<sasl::TSaslMechanism> mechanism =
      sasl::SelectSaslMechanism(AuthMechanisms(), credentials, preferred);
  if (!mechanism) return;
  for (const std::string& secret : {credentials.User, credentials.Password}) {
    KeepSecret(secret);
    KeepSecret(Base64Encode(secret));
  }
  std::string command = "AUTH " + std::string(mechanism->Name());
  std::size_t secretFrom = std::string::npos;
  if (const std::optional<std::string> initial = mechanism->InitialResponse()) {
    command += ' ';
    secretFrom = command.size();
    command += *initial;
    KeepSecret(*initial);
  }
  SendCommand(command, secretFrom);
  // One state for every mechanism: each 334 is a challenge the mechanism answers, until
  // the server accepts (235) or refuses.
  for (;;) {
    const TSmtpReplyStruct reply = ReadReply();
    if (reply.Code == 235) return;
    if (reply.Code != 334) throw ESmtpError(reply.Text());
    const std::optional<std::string> response = mechanism->Respond(reply.Lines.empty() ? "" : reply.Lines.front());
    if (!response) throw ESmtpError(reply.Text());
    KeepSecret(*response);
    SendCommand(*response, 0);
  }
}

bool TSmtpConnection::Probe() {
  try {
    SendCommand("NOOP");
    return ReadReply().Code == 250;
  } catch (const ESmtpError&) {
    return false;
  }
}

void TSmtpConnection::Quit() {
  try {
    SendCommand("QUIT");
    ReadReply(limits_.QuitWait);
  } catch (const ESmtpError&) {
  }
  if (tls_) tls_->Close(platform::DeadlineAfter(limits_.QuitWait));
}

void TSmtpConnection::KeepSecret(std::string secret) {
  if (secret.empty() || std::find(secrets_.begin(), secrets_.end(), secret) != secrets_.end()) return;
  secrets_.push_back(std::move(secret));
  // The longer first, so that a Base64 line is masked whole before a part of it could be.
  std::stable_sort(secrets_.begin(), secrets_.end(),
                   [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

std::string TSmtpConnection::Masked(std::string text) const {
  for (const std::string& secret : secrets_) {
    for (std::size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + kSecretMask.size()))
      text.replace(at, secret.size(), kSecretMask);
  }
  return text;
}

bool TSmtpConnection::HasExtension(std::string_view keyword) const {
  for (const std::string& line : extensions_) {
    const std::string_view word = std::string_view(line).substr(0, line.find(' '));
    if (AsciiSameText(word, keyword)) return true;
  }
  return false;
}

std::vector<std::string> TSmtpConnection::AuthMechanisms() const {
  std::vector<std::string> names;
  for (const std::string& line : extensions_) {
    if (line.size() < 5 || !AsciiSameText(std::string_view(line).substr(0, 4), "AUTH") ||
        (line[4] != ' ' && line[4] != '='))
      continue;
    std::size_t pos = 5;
    while (pos < line.size()) {
      const std::size_t end = line.find_first_of(" =", pos);
      names.push_back(line.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
      if (end == std::string::npos) break;
      pos = end + 1;
    }
  }
  return names;
}

void TSmtpConnection::SendCommand(const std::string& command, std::size_t secretFrom) {
  if (secretFrom == std::string::npos) {
    Tell(TSmtpDialogueSide::dsClient, command);
  } else {
    Tell(TSmtpDialogueSide::dsClient, command.substr(0, secretFrom) + std::string(kSecretMask));
  }
  Write(command + "\r\n");
}

void TSmtpConnection::Write(std::string_view data) {
  OnStream([&] { stream_->Write(data, platform::DeadlineAfter(limits_.Wait)); });
}

bool TSmtpConnection::InputPending() {
  return !received_.empty() || OnStream([&] { return stream_->InputPending(); });
}

void TSmtpConnection::Tell(TSmtpDialogueSide side, std::string_view line) const {
  if (observer_) observer_(side, line);
}

TSmtpReplyStruct TSmtpConnection::ReadReply(std::chrono::milliseconds limit) {
  // One deadline for the whole reply, however the server spreads its lines over time.
  const net::TDeadline deadline = platform::DeadlineAfter(limit);
  char chunk[4096];
  for (;;) {
    std::size_t used = 0;
    try {
      used = reader_.Feed(received_);
    } catch (const ESmtpError& e) {
      throw ESmtpError(Masked(e.Message()));  // a refusal in lines of different codes
    }
    received_.erase(0, used);
    if (reader_.Complete()) {
      TSmtpReplyStruct reply = reader_.Take();
      for (std::string& line : reply.Lines) line = Masked(std::move(line));
      for (std::size_t i = 0; i < reply.Lines.size(); ++i) Tell(TSmtpDialogueSide::dsServer, reply.WireLine(i));
      return reply;
    }
    const std::size_t n = OnStream([&] { return stream_->Read(chunk, sizeof chunk, deadline); });
    if (n == 0) throw ESmtpConnectionLost(texts::kConnectionClosed);
    received_.append(chunk, n);
  }
}

}  // namespace eqd::smtp
