// The TLS layer over any backend: it moves the engine's bytes to and from the stream
// below, so that stream's deadlines hold for TLS as well.
#include "net/tls_layer.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "net/net_error.h"

namespace eqd::net {
namespace {

using platform::ETlsFailure;
using platform::TTlsFailureKind;
using platform::TTlsStep;

ENetError Failure(const ETlsFailure& e, TNetStep step) {
  switch (e.Kind()) {
    case TTlsFailureKind::tfUnsupported: return ENetError(TNetErrorKind::neTlsPolicy, step, e.what());
    case TTlsFailureKind::tfHandshake: return ENetError(TNetErrorKind::neTlsHandshake, step, e.what());
    case TTlsFailureKind::tfCertificate: {
      ENetError failure(TNetErrorKind::neCertificate, step, e.what());
      failure.SetCertificate(e.Problem(), e.Certificate());
      return failure;
    }
    case TTlsFailureKind::tfRecord: break;
  }
  return ENetError(TNetErrorKind::neTls, step, e.what());
}

class TTlsStream final : public TTlsLayer {
 public:
  TTlsStream(TByteStream& lower, const TTlsPolicyStruct& policy) : lower_(lower) {
    try {
      engine_ = platform::CreateTlsEngine(policy);
    } catch (const ETlsFailure& e) {
      throw Failure(e, TNetStep::nsHandshake);
    }
  }

  void Handshake(TDeadline deadline) override {
    try {
      for (;;) {
        TTlsStep step;
        try {
          step = engine_->Handshake(in_, out_);
        } catch (const ETlsFailure& e) {
          FlushQuietly(deadline);  // the alert that says why, when the backend made one
          throw Failure(e, TNetStep::nsHandshake);
        }
        Flush(deadline);
        if (step == TTlsStep::tsDone) break;
        if (!Fill(deadline)) throw ENetError(TNetErrorKind::neClosed, TNetStep::nsHandshake, "");
      }
    } catch (const ENetError& e) {
      if (e.Step() == TNetStep::nsHandshake) throw;
      throw ENetError(e.Kind(), TNetStep::nsHandshake, e.Detail());
    }
    info_ = engine_->SessionInfo();
    ready_ = true;
  }

  std::size_t Read(char* buffer, std::size_t size, TDeadline deadline) override {
    while (plainOffset_ == plain_.size()) {
      if (closed_) return 0;
      const TTlsStep step = Decrypt(TNetStep::nsRead);
      Flush(deadline);
      if (step == TTlsStep::tsClosed) closed_ = true;
      if (step == TTlsStep::tsNeedInput && !Fill(deadline)) return 0;  // gone without a close_notify
    }
    const std::size_t n = std::min(size, plain_.size() - plainOffset_);
    std::memcpy(buffer, plain_.data() + plainOffset_, n);
    plainOffset_ += n;
    return n;
  }

  void Write(std::string_view data, TDeadline deadline) override {
    if (!ready_) throw ENetError(TNetErrorKind::neTls, TNetStep::nsWrite, "no TLS session");
    while (!data.empty()) {
      std::size_t taken = 0;
      try {
        taken = engine_->Encrypt(data, out_);
      } catch (const ETlsFailure& e) {
        throw Failure(e, TNetStep::nsWrite);
      }
      Flush(deadline);
      data.remove_prefix(taken);
      if (taken > 0) continue;
      // A renegotiation waits for the server; its plain text, if any, is kept for Read.
      if (!Fill(deadline) || Decrypt(TNetStep::nsWrite) == TTlsStep::tsClosed)
        throw ENetError(TNetErrorKind::neClosed, TNetStep::nsWrite, "");
      Flush(deadline);
    }
  }

  bool InputPending() override {
    return closed_ || plainOffset_ < plain_.size() || !in_.empty() || lower_.InputPending();
  }

  void Close(TDeadline deadline) noexcept override {
    if (!ready_ || shutdownSent_) return;
    shutdownSent_ = true;
    engine_->Shutdown(out_);
    FlushQuietly(deadline);
  }

  TTlsSessionInfoStruct SessionInfo() const override { return info_; }

 private:
  // Decrypts what came into plain_, after dropping what was read of it.
  TTlsStep Decrypt(TNetStep step) {
    if (plainOffset_ > 0) {
      plain_.erase(0, plainOffset_);
      plainOffset_ = 0;
    }
    try {
      return engine_->Decrypt(in_, plain_, out_);
    } catch (const ETlsFailure& e) {
      throw Failure(e, step);
    }
  }

  // Sends what the engine produced.
  void Flush(TDeadline deadline) {
    if (out_.empty()) return;
    const std::string data = std::move(out_);
    out_.clear();
    lower_.Write(data, deadline);
  }

  void FlushQuietly(TDeadline deadline) noexcept {
    try {
      Flush(deadline);
    } catch (...) {
      // The server may be gone already.
    }
  }

  // Appends the next bytes from the server to in_; false when the server closed.
  bool Fill(TDeadline deadline) {
    char chunk[16 * 1024];
    const std::size_t n = lower_.Read(chunk, sizeof chunk, deadline);
    if (n == 0) return false;
    in_.append(chunk, n);
    return true;
  }

  TByteStream& lower_;
  std::unique_ptr<platform::TTlsEngine> engine_;
  std::string in_;     // bytes from the server the engine has not taken yet
  std::string out_;    // bytes of the engine not sent yet
  std::string plain_;  // decrypted bytes not read yet, from plainOffset_ on
  std::size_t plainOffset_ = 0;
  TTlsSessionInfoStruct info_;
  bool ready_ = false;
  bool closed_ = false;
  bool shutdownSent_ = false;
};

}  // namespace

std::unique_ptr<TTlsLayer> CreateTlsLayer(TByteStream& lower, const TTlsPolicyStruct& policy) {
  return std::make_unique<TTlsStream>(lower, policy);
}

}  // namespace eqd::net
