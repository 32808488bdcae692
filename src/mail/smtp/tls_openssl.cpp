// The TLS layer on OpenSSL. The library never sees the socket: it reads from and
// writes to two memory buffers, and this layer moves the bytes between those and the
// stream below, so the stream's own limits on every wait apply to TLS as well.
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

#include <array>
#include <memory>

#include "mail/smtp/smtp_error.h"
#include "mail/smtp/smtp_texts.h"
#include "mail/smtp/tls_layer.h"

namespace eqd::smtp {
namespace {

struct TSslCtxFree {
  void operator()(SSL_CTX* p) const { SSL_CTX_free(p); }
};
struct TSslFree {
  void operator()(SSL* p) const { SSL_free(p); }
};
using TSslCtxPtr = std::unique_ptr<SSL_CTX, TSslCtxFree>;
using TSslPtr = std::unique_ptr<SSL, TSslFree>;

// The oldest queued OpenSSL error in words; the queue is emptied.
std::string TakeErrorText(const char* fallback) {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return fallback;
  std::array<char, 256> text{};
  ERR_error_string_n(code, text.data(), text.size());
  return text.data();
}

class TOpenSslLayer final : public TTlsLayer {
 public:
  TOpenSslLayer(TByteStream& lower, const std::string& serverName) : lower_(lower) {
    ERR_clear_error();
    ctx_.reset(SSL_CTX_new(TLS_client_method()));
    if (!ctx_) throw ESmtpError(TakeErrorText("SSL_CTX_new"));
    SSL_CTX_set_min_proto_version(ctx_.get(), TLS1_VERSION);
    SSL_CTX_set_max_proto_version(ctx_.get(), TLS1_2_VERSION);
    // TLS 1.0 and 1.1 sign with SHA-1, which OpenSSL 3 refuses from security level 1
    // up; level 0 lets old mail servers through. Old servers also may not know secure
    // renegotiation. Nothing here verifies the server anyway.
    SSL_CTX_set_security_level(ctx_.get(), 0);
    SSL_CTX_set_cipher_list(ctx_.get(), "DEFAULT:@SECLEVEL=0");
    SSL_CTX_set_options(ctx_.get(), SSL_OP_LEGACY_SERVER_CONNECT | SSL_OP_NO_COMPRESSION);
    SSL_CTX_set_verify(ctx_.get(), SSL_VERIFY_NONE, nullptr);

    ssl_.reset(SSL_new(ctx_.get()));
    if (!ssl_) throw ESmtpError(TakeErrorText("SSL_new"));
    BIO* in = BIO_new(BIO_s_mem());
    BIO* out = BIO_new(BIO_s_mem());
    if (!in || !out) {
      BIO_free(in);
      BIO_free(out);
      throw ESmtpError(TakeErrorText("BIO_new"));
    }
    SSL_set_bio(ssl_.get(), in, out);  // the SSL object owns both from here
    in_ = in;
    out_ = out;
    SSL_set_connect_state(ssl_.get());
    if (!serverName.empty() && !IsIpAddressLiteral(serverName))
      SSL_set_tlsext_host_name(ssl_.get(), serverName.c_str());
  }

  void Handshake() override {
    ERR_clear_error();
    for (;;) {
      const int rc = SSL_do_handshake(ssl_.get());
      Flush();
      if (rc == 1) return;
      const int error = SSL_get_error(ssl_.get(), rc);
      if (error == SSL_ERROR_WANT_READ) {
        if (!Fill()) throw ESmtpError(texts::kConnectionClosed);
        continue;
      }
      if (error == SSL_ERROR_WANT_WRITE) continue;
      throw ESmtpError(TakeErrorText(texts::kTlsHandshakeFailed));
    }
  }

  std::size_t Read(char* buffer, std::size_t size) override {
    if (closed_) return 0;
    const int want = size > 1 << 30 ? 1 << 30 : static_cast<int>(size);
    ERR_clear_error();
    for (;;) {
      const int rc = SSL_read(ssl_.get(), buffer, want);
      if (rc > 0) return static_cast<std::size_t>(rc);
      const int error = SSL_get_error(ssl_.get(), rc);
      Flush();
      if (error == SSL_ERROR_WANT_READ) {
        if (!Fill()) return 0;
        continue;
      }
      if (error == SSL_ERROR_WANT_WRITE) continue;
      if (error == SSL_ERROR_ZERO_RETURN) {
        closed_ = true;
        return 0;
      }
      throw ESmtpError(std::string(texts::kTlsError) + ": " + TakeErrorText("SSL_read"));
    }
  }

  void Write(std::string_view data) override {
    ERR_clear_error();
    while (!data.empty()) {
      const int chunk = data.size() > 1 << 30 ? 1 << 30 : static_cast<int>(data.size());
      const int rc = SSL_write(ssl_.get(), data.data(), chunk);
      Flush();
      if (rc > 0) {
        data.remove_prefix(static_cast<std::size_t>(rc));
        continue;
      }
      const int error = SSL_get_error(ssl_.get(), rc);
      if (error == SSL_ERROR_WANT_READ) {
        if (!Fill()) throw ESmtpError(texts::kConnectionClosed);
        continue;
      }
      if (error == SSL_ERROR_WANT_WRITE) continue;
      throw ESmtpError(std::string(texts::kTlsError) + ": " + TakeErrorText("SSL_write"));
    }
  }

  bool InputPending() override {
    return closed_ || SSL_pending(ssl_.get()) > 0 || BIO_ctrl_pending(in_) > 0 || lower_.InputPending();
  }

  void Close() noexcept override {
    if (shutdownSent_) return;
    shutdownSent_ = true;
    try {
      SSL_shutdown(ssl_.get());
      Flush();
    } catch (...) {
      // The server may be gone already; the session is over either way.
    }
    ERR_clear_error();
  }

 private:
  // Sends whatever OpenSSL has produced.
  void Flush() {
    while (BIO_ctrl_pending(out_) > 0) {
      const int n = BIO_read(out_, buffer_.data(), static_cast<int>(buffer_.size()));
      if (n <= 0) break;
      lower_.Write(std::string_view(buffer_.data(), static_cast<std::size_t>(n)));
    }
  }

  // Hands OpenSSL the next bytes from the server; false when the server closed.
  bool Fill() {
    const std::size_t n = lower_.Read(buffer_.data(), buffer_.size());
    if (n == 0) return false;
    BIO_write(in_, buffer_.data(), static_cast<int>(n));
    return true;
  }

  TByteStream& lower_;
  TSslCtxPtr ctx_;
  TSslPtr ssl_;
  BIO* in_ = nullptr;   // owned by ssl_
  BIO* out_ = nullptr;  // owned by ssl_
  std::array<char, 17 * 1024> buffer_{};
  bool closed_ = false;
  bool shutdownSent_ = false;
};

}  // namespace

std::unique_ptr<TTlsLayer> CreateTlsLayer(TByteStream& lower, const std::string& serverName) {
  return std::make_unique<TOpenSslLayer>(lower, serverName);
}

}  // namespace eqd::smtp
