// A server played from a script, for the SMTP session: the greeting is there at once;
// each later reply becomes readable only after the client wrote something since the
// previous one, as a real server answers commands. Everything the client writes is
// kept. Reads never cross `cut`, an offset into all server bytes, so a test can split
// the replies at every position.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "mail/smtp/smtp_connection.h"
#include "mail/smtp/smtp_transaction.h"
#include "net/byte_stream.h"
#include "net/tls_layer.h"

namespace eqd::smtp::testing {

class TScriptedStream : public net::TByteStream {
 public:
  TScriptedStream(std::vector<std::string> replies, std::size_t cut)
      : replies_(std::move(replies)), cut_(cut) {
    Release();
  }

  std::size_t Read(char* buffer, std::size_t size, net::TDeadline) override {
    if (readPos_ == released_.size() && wroteSinceRelease_) Release();
    std::size_t n = std::min(size, released_.size() - readPos_);
    if (readPos_ < cut_ && readPos_ + n > cut_) n = cut_ - readPos_;
    std::memcpy(buffer, released_.data() + readPos_, n);
    readPos_ += n;
    return n;  // 0 once the script is over: the server closed the connection
  }

  void Write(std::string_view data, net::TDeadline) override {
    written_.append(data);
    wroteSinceRelease_ = true;
  }

  bool InputPending() override { return readPos_ < released_.size(); }

  // What the client wrote, split into lines at CR LF.
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t at; (at = written_.find("\r\n", from)) != std::string::npos; from = at + 2)
      lines.push_back(written_.substr(from, at - from));
    if (from < written_.size()) lines.push_back(written_.substr(from));
    return lines;
  }
  const std::string& Written() const { return written_; }
  void Mark(const std::string& event) { written_ += event + "\r\n"; }

 private:
  void Release() {
    if (next_ < replies_.size()) released_ += replies_[next_++];
    wroteSinceRelease_ = false;
  }

  std::vector<std::string> replies_;
  std::size_t next_ = 0;
  std::string released_;
  std::size_t readPos_ = 0;
  std::size_t cut_;
  bool wroteSinceRelease_ = false;
  std::string written_;
};

// Stands in for TLS: marks the handshake in the transcript and passes bytes through.
class TPassThroughTls : public net::TTlsLayer {
 public:
  TPassThroughTls(TScriptedStream& lower, bool failHandshake) : lower_(lower), fail_(failHandshake) {}
  void Handshake(net::TDeadline) override {
    lower_.Mark(fail_ ? "<handshake failed>" : "<handshake>");
    if (fail_) throw std::runtime_error("handshake failure");
  }
  void Close(net::TDeadline) noexcept override { lower_.Mark("<close_notify>"); }
  std::size_t Read(char* buffer, std::size_t size, net::TDeadline deadline) override {
    return lower_.Read(buffer, size, deadline);
  }
  void Write(std::string_view data, net::TDeadline deadline) override { lower_.Write(data, deadline); }
  bool InputPending() override { return lower_.InputPending(); }

 private:
  TScriptedStream& lower_;
  bool fail_;
};

// What one send needs: the name for EHLO, the login, the envelope.
struct TOneSendStruct {
  std::string HeloName;
  std::string User;  // empty: no login
  std::string Password;
  std::string Sender;
  std::vector<std::string> Recipients;
};

// One send as TDevice composes it: open the connection, log in, one transaction, QUIT.
class TOneSend {
 public:
  TOneSend(net::TByteStream& stream, TSmtpConnection::TTlsStarter startTls) : connection_(stream, std::move(startTls)) {}
  void SetObserver(TSmtpDialogueObserver observer) { connection_.SetObserver(std::move(observer)); }
  TSmtpReplyStruct Send(const TOneSendStruct& send, const TSmtpTransaction::TMessageWriter& writeMessage) {
    connection_.Open(send.HeloName);
    connection_.Authenticate({send.User, send.Password});
    TSmtpReplyStruct accepted = TSmtpTransaction(connection_).Send({send.Sender, send.Recipients, {}}, writeMessage);
    connection_.Quit();
    return accepted;
  }
  bool TlsActive() const { return connection_.TlsActive(); }

 private:
  TSmtpConnection connection_;
};

}  // namespace eqd::smtp::testing
