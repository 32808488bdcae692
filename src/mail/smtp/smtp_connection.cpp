#include "mail/smtp/smtp_connection.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
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
    if (e.Kind() == net::TNetErrorKind::neClosed) throw ESmtpConnectionLost(NetworkFailure(e));
    throw ESmtpError(NetworkFailure(e));
  }
}

// The first bytes of a TLS record (handshake or alert, any version): what a port that
// expects TLS answers a plain-text client with, if anything.
bool LooksLikeTls(std::string_view bytes) {
  return bytes.size() >= 2 && (bytes[0] == '\x16' || bytes[0] == '\x15') && bytes[1] == '\x03';
}

// Three digits: the start of an SMTP reply, which is what a plain-text server greets with.
bool LooksLikeReply(std::string_view bytes) {
  return bytes.size() >= 3 && std::isdigit(static_cast<unsigned char>(bytes[0])) &&
         std::isdigit(static_cast<unsigned char>(bytes[1])) && std::isdigit(static_cast<unsigned char>(bytes[2]));
}

}  // namespace

TSmtpConnection::TSmtpConnection(net::TByteStream& transport, TTlsStarter startTls, TSmtpTimeLimitsStruct limits)
    : plain_(transport), stream_(&transport), startTls_(std::move(startTls)), limits_(limits) {}

TSmtpConnection::~TSmtpConnection() = default;

std::size_t TSmtpConnection::TPeekStream::Read(char* buffer, std::size_t size, net::TDeadline deadline) {
  const std::size_t n = lower_.Read(buffer, size, deadline);
  if (first_.size() < 16) first_.append(buffer, std::min(n, 16 - first_.size()));
  return n;
}

void TSmtpConnection::Open(const std::string& heloName, TSmtpSecurity security) {
  heloName_ = heloName;
  if (security == TSmtpSecurity::ssImplicitTls) Handshake(true);
  const TSmtpReplyStruct greeting = ReadGreeting();
  if (greeting.Code != 220) throw ESmtpError(TSmtpFailureClass::fcServerRefused, greeting);
  Hello();
  if (security == TSmtpSecurity::ssImplicitTls || security == TSmtpSecurity::ssNone) return;
  // After the upgrade the server may list STARTTLS again; one upgrade is all there is.
  if (HasExtension("STARTTLS")) {
    StartTls();
    Hello();
  } else if (security == TSmtpSecurity::ssStartTls) {
    // Nothing but EHLO has been said: no credential, no address.
    throw ESmtpError("", TSmtpFailureClass::fcStartTlsNotOffered);
  }
}

TSmtpReplyStruct TSmtpConnection::ReadGreeting() {
  try {
    return ReadReply();
  } catch (ESmtpError& e) {
    // TLS bytes where a greeting should be: the port expects TLS from the first byte.
    if (!tls_ && LooksLikeTls(received_)) {
      TSmtpFailureStruct failure = e.Failure();
      failure.Class = TSmtpFailureClass::fcTlsOnPlainPort;
      throw ESmtpError(failure);
    }
    // Silence is no refusal: a server that never greets may be waiting for a TLS client.
    if (e.Failure().Class == TSmtpFailureClass::fcTimedOut) e.Failure().Class = TSmtpFailureClass::fcNoGreeting;
    throw;
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
  if (helo.Code != 250) throw ESmtpError(TSmtpFailureClass::fcServerRefused, helo);
  extensions_.clear();
}

void TSmtpConnection::StartTls() {
  SendCommand("STARTTLS");
  if (ReadReply().Code != 220) throw ESmtpError(texts::kStartTlsRefused, TSmtpFailureClass::fcStartTlsRefused);
  // Bytes the server sent after its 220 in plain text would be taken for replies
  // inside the protected session; nobody honest sends them.
  if (!received_.empty()) throw ESmtpError(texts::kTlsHandshakeFailed, TSmtpFailureClass::fcTlsHandshake);
  Handshake(false);
}

void TSmtpConnection::Handshake(bool implicit) {
  try {
    std::unique_ptr<net::TTlsLayer> layer = startTls_(peek_);
    layer->Handshake(platform::DeadlineAfter(limits_.Wait));
    tls_ = std::move(layer);
  } catch (const net::ENetError& e) {
    TSmtpFailureStruct failure = NetworkFailure(e);
    // A server that greets in plain text on a port set to implicit TLS.
    if (implicit && failure.Class == TSmtpFailureClass::fcTlsHandshake && LooksLikeReply(peek_.First()))
      failure.Class = TSmtpFailureClass::fcPlainOnTlsPort;
    throw ESmtpError(failure);
  } catch (const std::exception&) {
    throw ESmtpError(texts::kTlsHandshakeFailed, TSmtpFailureClass::fcTlsHandshake);
  }
  stream_ = tls_.get();
}

std::string TSmtpConnection::Authenticate(const sasl::TSaslCredentialsStruct& credentials,
                                          std::span<const sasl::TSaslMechanismId> preferred, bool required,
                                          const std::function<void(std::string_view mechanism)>& beforeCredentials) {
  if (credentials.User.empty() || preferred.empty()) return {};
  const std::vector<std::string> announced = AuthMechanisms();
  const std::unique_ptr<sasl::TSaslMechanism> mechanism = sasl::SelectSaslMechanism(announced, credentials, preferred);
  if (!mechanism) {
    if (!required) return {};
    TSmtpFailureStruct failure;
    failure.Class = TSmtpFailureClass::fcAuthMethodNotOffered;
    failure.AuthMethod = sasl::SaslMechanismName(preferred.front());
    failure.Mechanisms = announced;
    throw ESmtpError(failure);
  }
  const std::string name(mechanism->Name());
  if (beforeCredentials) beforeCredentials(name);
  for (const std::string& secret : {credentials.User, credentials.Password}) {
    KeepSecret(secret);
    KeepSecret(Base64Encode(secret));
  }
  const auto refused = [&](const TSmtpReplyStruct& reply) {
    ESmtpError error(TSmtpFailureClass::fcLoginRefused, reply);
    error.Failure().AuthMethod = name;
    error.Failure().AuthDetail = mechanism->FailureText();
    return error;
  };
  std::string command = "AUTH " + name;
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
    if (reply.Code == 235) return name;
    if (reply.Code != 334) throw refused(reply);
    const std::optional<std::string> response = mechanism->Respond(reply.Lines.empty() ? "" : reply.Lines.front());
    if (!response) throw refused(reply);
    KeepSecret(*response);
    SendCommand(*response, 0);
  }
}

std::uint64_t TSmtpConnection::SizeLimit() const {
  for (const std::string& line : extensions_) {
    if (line.size() > 5 && AsciiSameText(std::string_view(line).substr(0, 5), "SIZE "))
      return std::strtoull(line.c_str() + 5, nullptr, 10);
  }
  return 0;
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
      TSmtpFailureStruct failure = e.Failure();  // a refusal in lines of different codes
      failure.Text = Masked(std::move(failure.Text));
      throw ESmtpError(std::move(failure));
    }
    received_.erase(0, used);
    if (reader_.Complete()) {
      TSmtpReplyStruct reply = reader_.Take();
      for (std::string& line : reply.Lines) line = Masked(std::move(line));
      for (std::size_t i = 0; i < reply.Lines.size(); ++i) Tell(TSmtpDialogueSide::dsServer, reply.WireLine(i));
      return reply;
    }
    const std::size_t n = OnStream([&] { return stream_->Read(chunk, sizeof chunk, deadline); });
    if (n == 0) throw ESmtpConnectionLost(texts::kConnectionClosed, TSmtpFailureClass::fcClosed);
    received_.append(chunk, n);
  }
}

}  // namespace eqd::smtp
