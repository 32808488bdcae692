// The TLS engine on OpenSSL. The library never sees a socket: it reads from and writes
// to two memory buffers, and the engine moves the bytes between those and its caller.
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <array>
#include <ctime>

#include "platform/tls_engine.h"
#include "platform/tls_policy_rules.h"
#include "platform/unique_handle.h"

namespace eqd::platform {
namespace {

using TSslCtx = TUniqueHandle<SSL_CTX*, &SSL_CTX_free>;
using TSsl = TUniqueHandle<SSL*, &SSL_free>;
using TX509 = TUniqueHandle<X509*, &X509_free>;
using TBio = TUniqueHandle<BIO*, &BIO_free_all>;

// The oldest queued OpenSSL error in words, or `fallback`; the queue is emptied.
std::string TakeErrorText(const char* fallback) {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return fallback;
  std::array<char, 256> text{};
  ERR_error_string_n(code, text.data(), text.size());
  return text.data();
}

int ProtocolVersion(TTlsVersion version) {
  switch (version) {
    case TTlsVersion::tvTls10: return TLS1_VERSION;
    case TTlsVersion::tvTls11: return TLS1_1_VERSION;
    case TTlsVersion::tvTls12: return TLS1_2_VERSION;
    case TTlsVersion::tvTls13: return TLS1_3_VERSION;
  }
  return TLS1_2_VERSION;
}

TTlsVersion VersionOf(int protocol) {
  switch (protocol) {
    case TLS1_VERSION: return TTlsVersion::tvTls10;
    case TLS1_1_VERSION: return TTlsVersion::tvTls11;
    case TLS1_3_VERSION: return TTlsVersion::tvTls13;
    default: return TTlsVersion::tvTls12;
  }
}

std::string NameText(const X509_NAME* name) {
  TBio bio(BIO_new(BIO_s_mem()));
  if (!bio || X509_NAME_print_ex(bio.Get(), name, 0, XN_FLAG_RFC2253) < 0) return {};
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio.Get(), &data);
  return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

std::chrono::sys_seconds TimeOf(const ASN1_TIME* time) {
  std::tm t{};
  if (time == nullptr || ASN1_TIME_to_tm(time, &t) != 1) return {};
  using namespace std::chrono;
  const sys_days day = year{t.tm_year + 1900} / month{static_cast<unsigned>(t.tm_mon + 1)} /
                       std::chrono::day{static_cast<unsigned>(t.tm_mday)};
  return day + hours{t.tm_hour} + minutes{t.tm_min} + seconds{t.tm_sec};
}

TSha256 KeySha256(X509* certificate) {
  TSha256 digest{};
  unsigned char* der = nullptr;
  const int size = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate), &der);
  if (size > 0) EVP_Digest(der, static_cast<std::size_t>(size), digest.data(), nullptr, EVP_sha256(), nullptr);
  OPENSSL_free(der);
  return digest;
}

// What the certificate says of itself.
TTlsSessionInfoStruct CertificateInfo(X509* certificate) {
  TTlsSessionInfoStruct info;
  info.Subject = NameText(X509_get_subject_name(certificate));
  info.Issuer = NameText(X509_get_issuer_name(certificate));
  info.NotBefore = TimeOf(X509_get0_notBefore(certificate));
  info.NotAfter = TimeOf(X509_get0_notAfter(certificate));
  info.KeySha256 = KeySha256(certificate);
  return info;
}

TTlsCertificateProblem ProblemOf(long verifyResult) {
  switch (verifyResult) {
    case X509_V_ERR_CERT_HAS_EXPIRED: return TTlsCertificateProblem::cpExpired;
    case X509_V_ERR_CERT_NOT_YET_VALID: return TTlsCertificateProblem::cpNotYetValid;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH: return TTlsCertificateProblem::cpNameMismatch;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED: return TTlsCertificateProblem::cpUntrusted;
    default: return TTlsCertificateProblem::cpOther;
  }
}

class TOpenSslEngine final : public TTlsEngine {
 public:
  explicit TOpenSslEngine(const TTlsPolicyStruct& policy) : policy_(policy) {
    CheckTlsPolicy(policy);
    ERR_clear_error();
    ctx_.Reset(SSL_CTX_new(TLS_client_method()));
    if (!ctx_) throw ETlsFailure(TTlsFailureKind::tfHandshake, TakeErrorText("SSL_CTX_new"));
    SSL_CTX_set_min_proto_version(ctx_.Get(), ProtocolVersion(policy.MinVersion));
    SSL_CTX_set_max_proto_version(ctx_.Get(), ProtocolVersion(policy.MaxVersion));
    if (policy.MinVersion < TTlsVersion::tvTls12) {
      // TLS 1.0 and 1.1 sign with SHA-1, which OpenSSL 3 refuses from security level 1
      // up; level 0 lets old mail servers through.
      SSL_CTX_set_security_level(ctx_.Get(), 0);
      SSL_CTX_set_cipher_list(ctx_.Get(), "DEFAULT:@SECLEVEL=0");
    }
    // Old servers may not know secure renegotiation.
    SSL_CTX_set_options(ctx_.Get(), SSL_OP_LEGACY_SERVER_CONNECT | SSL_OP_NO_COMPRESSION);
    if (policy.Verification == TTlsVerification::tvSystem) {
      if (SSL_CTX_set_default_verify_paths(ctx_.Get()) != 1)
        throw ETlsFailure(TTlsFailureKind::tfUnsupported, TakeErrorText("the system's trusted roots"));
      SSL_CTX_set_verify(ctx_.Get(), SSL_VERIFY_PEER, nullptr);
    } else {
      // A pin is checked once the handshake is over, against whatever chain came.
      SSL_CTX_set_verify(ctx_.Get(), SSL_VERIFY_NONE, nullptr);
    }

    ssl_.Reset(SSL_new(ctx_.Get()));
    if (!ssl_) throw ETlsFailure(TTlsFailureKind::tfHandshake, TakeErrorText("SSL_new"));
    BIO* in = BIO_new(BIO_s_mem());
    BIO* out = BIO_new(BIO_s_mem());
    if (!in || !out) {
      BIO_free(in);
      BIO_free(out);
      throw ETlsFailure(TTlsFailureKind::tfHandshake, TakeErrorText("BIO_new"));
    }
    SSL_set_bio(ssl_.Get(), in, out);  // the SSL object owns both from here
    in_ = in;
    out_ = out;
    SSL_set_connect_state(ssl_.Get());

    const std::string host(TlsHostName(policy));
    const bool literal = IsIpAddressLiteral(host);
    if (!host.empty() && !literal) SSL_set_tlsext_host_name(ssl_.Get(), host.c_str());
    if (policy.Verification == TTlsVerification::tvSystem) {
      const int set = literal ? X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_.Get()), host.c_str())
                              : SSL_set1_host(ssl_.Get(), host.c_str());
      if (set != 1) throw ETlsFailure(TTlsFailureKind::tfUnsupported, TakeErrorText("the name to check"));
    }
  }

  TTlsStep Handshake(std::string& input, std::string& output) override {
    Feed(input);
    ERR_clear_error();
    for (;;) {
      const int rc = SSL_do_handshake(ssl_.Get());
      Drain(output);
      if (rc == 1) break;
      const int error = SSL_get_error(ssl_.Get(), rc);
      if (error == SSL_ERROR_WANT_READ) return TTlsStep::tsNeedInput;
      if (error == SSL_ERROR_WANT_WRITE) continue;
      const long verified = SSL_get_verify_result(ssl_.Get());
      if (policy_.Verification == TTlsVerification::tvSystem && verified != X509_V_OK) {
        ERR_clear_error();
        // The handshake stopped before the certificate became the session's; the chain
        // the server sent is still there, its own certificate first.
        TTlsSessionInfoStruct certificate;
        if (STACK_OF(X509)* chain = SSL_get_peer_cert_chain(ssl_.Get()); chain && sk_X509_num(chain) > 0)
          certificate = CertificateInfo(sk_X509_value(chain, 0));
        throw ETlsFailure(ProblemOf(verified), X509_verify_cert_error_string(verified), certificate);
      }
      throw ETlsFailure(TTlsFailureKind::tfHandshake, TakeErrorText("SSL negotiation failed."));
    }
    ReadSessionInfo();
    return TTlsStep::tsDone;
  }

  TTlsStep Decrypt(std::string& input, std::string& plain, std::string& output) override {
    Feed(input);
    ERR_clear_error();
    const std::size_t before = plain.size();
    std::array<char, 16 * 1024> chunk{};
    for (;;) {
      const int rc = SSL_read(ssl_.Get(), chunk.data(), static_cast<int>(chunk.size()));
      if (rc > 0) {
        plain.append(chunk.data(), static_cast<std::size_t>(rc));
        continue;
      }
      const int error = SSL_get_error(ssl_.Get(), rc);
      Drain(output);
      if (error == SSL_ERROR_WANT_WRITE) continue;
      if (plain.size() > before) return TTlsStep::tsDone;
      if (error == SSL_ERROR_WANT_READ) return TTlsStep::tsNeedInput;
      if (error == SSL_ERROR_ZERO_RETURN) return TTlsStep::tsClosed;
      throw ETlsFailure(TTlsFailureKind::tfRecord, TakeErrorText("SSL_read"));
    }
  }

  std::size_t Encrypt(std::string_view plain, std::string& output) override {
    ERR_clear_error();
    std::size_t taken = 0;
    while (taken < plain.size()) {
      const std::size_t left = plain.size() - taken;
      const int rc = SSL_write(ssl_.Get(), plain.data() + taken, left > 1 << 30 ? 1 << 30 : static_cast<int>(left));
      Drain(output);
      if (rc > 0) {
        taken += static_cast<std::size_t>(rc);
        continue;
      }
      const int error = SSL_get_error(ssl_.Get(), rc);
      if (error == SSL_ERROR_WANT_WRITE) continue;
      if (error == SSL_ERROR_WANT_READ) break;  // a renegotiation waits for the server
      throw ETlsFailure(TTlsFailureKind::tfRecord, TakeErrorText("SSL_write"));
    }
    return taken;
  }

  void Shutdown(std::string& output) noexcept override {
    SSL_shutdown(ssl_.Get());
    try {
      Drain(output);
    } catch (...) {
      // Only the alert is lost; the session is over either way.
    }
    ERR_clear_error();
  }

  TTlsSessionInfoStruct SessionInfo() const override { return info_; }

 private:
  void Feed(std::string& input) {
    if (input.empty()) return;
    BIO_write(in_, input.data(), static_cast<int>(input.size()));
    input.clear();
  }

  void Drain(std::string& output) {
    std::array<char, 16 * 1024> chunk{};
    while (BIO_ctrl_pending(out_) > 0) {
      const int n = BIO_read(out_, chunk.data(), static_cast<int>(chunk.size()));
      if (n <= 0) break;
      output.append(chunk.data(), static_cast<std::size_t>(n));
    }
  }

  void ReadSessionInfo() {
    info_.Version = VersionOf(SSL_version(ssl_.Get()));
    if (const SSL_CIPHER* cipher = SSL_get_current_cipher(ssl_.Get())) info_.Cipher = SSL_CIPHER_get_name(cipher);
    const TX509 certificate(SSL_get1_peer_certificate(ssl_.Get()));
    if (!certificate) {
      if (policy_.Verification != TTlsVerification::tvNone)
        throw ETlsFailure(TTlsFailureKind::tfCertificate, "the server sent no certificate");
      return;
    }
    const TTlsSessionInfoStruct read = CertificateInfo(certificate.Get());
    info_.Subject = read.Subject;
    info_.Issuer = read.Issuer;
    info_.NotBefore = read.NotBefore;
    info_.NotAfter = read.NotAfter;
    info_.KeySha256 = read.KeySha256;
    CheckPinnedKey(policy_, info_);
  }

  TTlsPolicyStruct policy_;
  TSslCtx ctx_;
  TSsl ssl_;
  BIO* in_ = nullptr;   // owned by ssl_
  BIO* out_ = nullptr;  // owned by ssl_
  TTlsSessionInfoStruct info_;
};

}  // namespace

std::unique_ptr<TTlsEngine> CreateTlsEngine(const TTlsPolicyStruct& policy) {
  return std::make_unique<TOpenSslEngine>(policy);
}

}  // namespace eqd::platform
