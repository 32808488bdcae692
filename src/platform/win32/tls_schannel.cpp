// The TLS engine on Schannel, the system's own TLS: nothing to ship beside the driver,
// and updated with the operating system. Schannel never sees a socket either: the
// handshake tokens and the records pass through the engine to and from its caller.
#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>
#include <schannel.h>
#include <security.h>
#include <sspi.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/os_error.h"
#include "platform/tls_engine.h"
#include "platform/tls_policy_rules.h"
#include "platform/unique_handle.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace eqd::platform {
namespace {

void FreeCredentials(CredHandle* handle) { FreeCredentialsHandle(handle); }
void DeleteContext(CtxtHandle* handle) { DeleteSecurityContext(handle); }
void FreeCertificate(PCCERT_CONTEXT certificate) { CertFreeCertificateContext(certificate); }
void FreeChain(PCCERT_CHAIN_CONTEXT chain) { CertFreeCertificateChain(chain); }
void CloseAlgorithm(BCRYPT_ALG_HANDLE algorithm) { BCryptCloseAlgorithmProvider(algorithm, 0); }
void DestroyHash(BCRYPT_HASH_HANDLE hash) { BCryptDestroyHash(hash); }
using TCredentials = TUniqueStruct<CredHandle, &FreeCredentials>;
using TContext = TUniqueStruct<CtxtHandle, &DeleteContext>;
using TCertificate = TUniqueHandle<PCCERT_CONTEXT, &FreeCertificate>;
using TChain = TUniqueHandle<PCCERT_CHAIN_CONTEXT, &FreeChain>;
using TAlgorithm = TUniqueHandle<BCRYPT_ALG_HANDLE, &CloseAlgorithm>;
using THash = TUniqueHandle<BCRYPT_HASH_HANDLE, &DestroyHash>;

// A token Schannel allocated (ISC_REQ_ALLOCATE_MEMORY), freed on every path.
struct TOutToken {
  SecBuffer Buffer{0, SECBUFFER_TOKEN, nullptr};
  SecBufferDesc Desc{SECBUFFER_VERSION, 1, &Buffer};
  ~TOutToken() {
    if (Buffer.pvBuffer) FreeContextBuffer(Buffer.pvBuffer);
  }
  void AppendTo(std::string& output) const {
    if (Buffer.pvBuffer && Buffer.cbBuffer) output.append(static_cast<const char*>(Buffer.pvBuffer), Buffer.cbBuffer);
  }
};

constexpr DWORD kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                  ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                  ISC_REQ_MANUAL_CRED_VALIDATION;

std::string StatusText(SECURITY_STATUS status) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
  return code;
}

// The system's text for a certificate check's error, or its number.
std::string ErrorText(DWORD error) {
  const std::string text = SystemErrorText(static_cast<OsErrorCode>(error));
  return text.empty() ? StatusText(static_cast<SECURITY_STATUS>(error)) : text;
}

// The protocols of SCHANNEL_CRED: TLS 1.0 to 1.2. TLS 1.3 needs the newer
// SCH_CREDENTIALS, which older systems do not have.
DWORD ProtocolBits(const TTlsPolicyStruct& policy) {
  if (policy.MinVersion > TTlsVersion::tvTls12)
    throw ETlsFailure(TTlsFailureKind::tfUnsupported, "Schannel offers TLS 1.0 to 1.2 here; TLS 1.3 cannot be required");
  constexpr DWORD bits[] = {SP_PROT_TLS1_0_CLIENT, SP_PROT_TLS1_1_CLIENT, SP_PROT_TLS1_2_CLIENT};
  DWORD enabled = 0;
  for (int v = static_cast<int>(policy.MinVersion); v <= static_cast<int>(policy.MaxVersion) && v < 3; ++v)
    enabled |= bits[v];
  return enabled;
}

TTlsVersion VersionOf(DWORD protocol) {
  if (protocol & (SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_0_SERVER)) return TTlsVersion::tvTls10;
  if (protocol & (SP_PROT_TLS1_1_CLIENT | SP_PROT_TLS1_1_SERVER)) return TTlsVersion::tvTls11;
  if (protocol & (SP_PROT_TLS1_3_CLIENT | SP_PROT_TLS1_3_SERVER)) return TTlsVersion::tvTls13;
  return TTlsVersion::tvTls12;
}

std::string NameText(const CERT_NAME_BLOB& name) {
  const DWORD flags = CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG;
  auto* blob = const_cast<CERT_NAME_BLOB*>(&name);
  const DWORD size = CertNameToStrW(X509_ASN_ENCODING, blob, flags, nullptr, 0);
  if (size <= 1) return {};
  std::wstring text(size, L'\0');
  CertNameToStrW(X509_ASN_ENCODING, blob, flags, text.data(), size);
  text.resize(size - 1);
  return win32::WideToUtf8(text);
}

std::chrono::sys_seconds TimeOf(const FILETIME& time) {
  // FILETIME counts 100 ns steps from 1601-01-01; the Unix epoch is 11644473600 s later.
  const ULONGLONG ticks = (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return std::chrono::sys_seconds{std::chrono::seconds{static_cast<long long>(ticks / 10000000ULL) - 11644473600LL}};
}

TSha256 KeySha256(PCCERT_CONTEXT certificate) {
  TSha256 digest{};
  BYTE* der = nullptr;
  DWORD size = 0;
  if (!CryptEncodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, &certificate->pCertInfo->SubjectPublicKeyInfo,
                           CRYPT_ENCODE_ALLOC_FLAG, nullptr, &der, &size))
    return digest;
  const win32::TLocalMemory<BYTE*> owned(der);
  TAlgorithm algorithm;
  THash hash;
  if (BCryptOpenAlgorithmProvider(algorithm.Put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0 ||
      BCryptCreateHash(algorithm.Get(), hash.Put(), nullptr, 0, nullptr, 0, 0) != 0 ||
      BCryptHashData(hash.Get(), der, size, 0) != 0 ||
      BCryptFinishHash(hash.Get(), digest.data(), static_cast<ULONG>(digest.size()), 0) != 0)
    return TSha256{};
  return digest;
}

// Why a chain is not trusted, in the words OpenSSL's backend uses for the same faults.
std::string TrustText(DWORD status) {
  if (status & CERT_TRUST_IS_NOT_TIME_VALID) return "certificate has expired or is not yet valid";
  if (status & CERT_TRUST_IS_REVOKED) return "certificate revoked";
  if (status & CERT_TRUST_IS_NOT_SIGNATURE_VALID) return "certificate signature failure";
  if (status & CERT_TRUST_IS_PARTIAL_CHAIN) return "unable to get local issuer certificate";
  if (status & CERT_TRUST_IS_UNTRUSTED_ROOT) return "self-signed certificate or untrusted root";
  if (status & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) return "certificate not valid for server authentication";
  return "certificate chain not trusted (" + StatusText(static_cast<SECURITY_STATUS>(status)) + ")";
}

class TSchannelEngine final : public TTlsEngine {
 public:
  explicit TSchannelEngine(const TTlsPolicyStruct& policy) : policy_(policy) {
    CheckTlsPolicy(policy);
    const std::string_view host = TlsHostName(policy);
    host_ = win32::Utf8ToWide(host);
    // SNI goes out with the target name; an address literal is no name and goes without.
    if (!host.empty() && !IsIpAddressLiteral(host)) target_ = host_;

    SCHANNEL_CRED cred{};
    cred.dwVersion = SCHANNEL_CRED_VERSION;
    cred.grbitEnabledProtocols = ProtocolBits(policy);
    // The certificate is checked here, after the handshake, as the policy says; no
    // client certificate is offered.
    cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_CRED_NO_SERVERNAME_CHECK;
    TimeStamp expiry{};
    const SECURITY_STATUS status = AcquireCredentialsHandleW(nullptr, const_cast<SEC_WCHAR*>(UNISP_NAME_W),
                                                             SECPKG_CRED_OUTBOUND, nullptr, &cred, nullptr, nullptr,
                                                             credentials_.Put(), &expiry);
    if (status != SEC_E_OK) throw ETlsFailure(TTlsFailureKind::tfHandshake, StatusText(status));
    credentials_.Fill();
  }

  TTlsStep Handshake(std::string& input, std::string& output) override {
    if (!context_) return Settle(Step(nullptr, output), input, output);  // the ClientHello
    if (input.empty()) return TTlsStep::tsNeedInput;
    return Settle(Step(&input, output), input, output);
  }

  TTlsStep Decrypt(std::string& input, std::string& plain, std::string& output) override {
    const std::size_t before = plain.size();
    const auto some = [&](TTlsStep otherwise) { return plain.size() > before ? TTlsStep::tsDone : otherwise; };
    for (;;) {
      if (closed_) return some(TTlsStep::tsClosed);
      if (renegotiating_) {
        if (input.empty()) return some(TTlsStep::tsNeedInput);
        if (Settle(Step(&input, output), input, output) == TTlsStep::tsNeedInput) return some(TTlsStep::tsNeedInput);
        continue;
      }
      if (input.empty()) return some(TTlsStep::tsNeedInput);
      SecBuffer buffers[4] = {
          {static_cast<unsigned long>(input.size()), SECBUFFER_DATA, input.data()},
          {0, SECBUFFER_EMPTY, nullptr},
          {0, SECBUFFER_EMPTY, nullptr},
          {0, SECBUFFER_EMPTY, nullptr},
      };
      SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
      const SECURITY_STATUS status = DecryptMessage(context_.Get(), &desc, 0, nullptr);
      if (status == SEC_E_INCOMPLETE_MESSAGE) return some(TTlsStep::tsNeedInput);
      if (status == SEC_I_CONTEXT_EXPIRED) {  // the server's close_notify
        closed_ = true;
        input.clear();
        continue;
      }
      if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE)
        throw ETlsFailure(TTlsFailureKind::tfRecord, StatusText(status));
      std::size_t extra = 0;
      for (const SecBuffer& b : buffers) {
        if (b.BufferType == SECBUFFER_DATA && b.cbBuffer) plain.append(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
        if (b.BufferType == SECBUFFER_EXTRA) extra = b.cbBuffer;
      }
      input.erase(0, input.size() - extra);
      if (status == SEC_I_RENEGOTIATE) {
        // The server asks for a new handshake: the context takes what came after the
        // request (maybe nothing yet) and answers through `output`; records follow
        // once it is done.
        renegotiating_ = true;
        const std::size_t before_output = output.size();
        const SECURITY_STATUS step = Step(&input, output);
        if (step == SEC_E_INCOMPLETE_MESSAGE && input.empty() && output.size() == before_output) {
          // A context that cannot begin the new handshake before the server sends more
          // (Wine's) declines it, as TLS 1.2 lets a client do: the records go on under
          // the keys they have.
          renegotiating_ = false;
          continue;
        }
        if (Settle(step, input, output) == TTlsStep::tsNeedInput) return some(TTlsStep::tsNeedInput);
      }
    }
  }

  std::size_t Encrypt(std::string_view plain, std::string& output) override {
    if (!sizes_.cbMaximumMessage || renegotiating_) return 0;
    std::vector<char> record;
    for (std::string_view rest = plain; !rest.empty();) {
      const std::size_t chunk = std::min<std::size_t>(rest.size(), sizes_.cbMaximumMessage);
      record.resize(sizes_.cbHeader + chunk + sizes_.cbTrailer);
      std::memcpy(record.data() + sizes_.cbHeader, rest.data(), chunk);
      SecBuffer buffers[4] = {
          {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
          {static_cast<unsigned long>(chunk), SECBUFFER_DATA, record.data() + sizes_.cbHeader},
          {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + chunk},
          {0, SECBUFFER_EMPTY, nullptr},
      };
      SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
      const SECURITY_STATUS status = EncryptMessage(context_.Get(), 0, &desc, 0);
      if (status != SEC_E_OK) throw ETlsFailure(TTlsFailureKind::tfRecord, StatusText(status));
      output.append(record.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
      rest.remove_prefix(chunk);
    }
    return plain.size();
  }

  void Shutdown(std::string& output) noexcept override {
    if (!context_ || !sizes_.cbMaximumMessage) return;
    try {
      DWORD type = SCHANNEL_SHUTDOWN;
      SecBuffer buffer{sizeof type, SECBUFFER_TOKEN, &type};
      SecBufferDesc desc{SECBUFFER_VERSION, 1, &buffer};
      if (ApplyControlToken(context_.Get(), &desc) != SEC_E_OK) return;
      TOutToken out;
      ULONG attributes = 0;
      TimeStamp expiry{};
      InitializeSecurityContextW(credentials_.Get(), context_.Get(), Target(), kContextRequest, 0, 0, nullptr, 0,
                                 nullptr, &out.Desc, &attributes, &expiry);
      out.AppendTo(output);
    } catch (...) {
      // Only the alert is lost; the session is over either way.
    }
  }

  TTlsSessionInfoStruct SessionInfo() const override { return info_; }

 private:
  SEC_WCHAR* Target() { return target_.empty() ? nullptr : target_.data(); }

  // One call of the handshake: what Schannel produced goes to `output`, and the bytes it
  // has not used stay in `input`.
  SECURITY_STATUS Step(std::string* input, std::string& output) {
    SecBuffer in[2] = {{0, SECBUFFER_TOKEN, nullptr}, {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
    if (input) {
      in[0].cbBuffer = static_cast<unsigned long>(input->size());
      in[0].pvBuffer = input->data();
    }
    TOutToken out;
    ULONG attributes = 0;
    TimeStamp expiry{};
    const bool first = !context_;
    const SECURITY_STATUS status = InitializeSecurityContextW(
        credentials_.Get(), first ? nullptr : context_.Get(), Target(), kContextRequest, 0, 0,
        input ? &inDesc : nullptr, 0, first ? context_.Put() : nullptr, &out.Desc, &attributes, &expiry);
    if (first && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED)) context_.Fill();
    out.AppendTo(output);
    if (input && status != SEC_E_INCOMPLETE_MESSAGE) {
      // What follows the handshake record (already the first encrypted data) stays.
      if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0)
        input->erase(0, input->size() - in[1].cbBuffer);
      else if (status != SEC_I_INCOMPLETE_CREDENTIALS)
        input->clear();
    }
    return status;
  }

  // Goes on with the handshake while Schannel can with what it has; tsDone once it is
  // complete and the certificate passed the policy's check.
  TTlsStep Settle(SECURITY_STATUS status, std::string& input, std::string& output) {
    while (status == SEC_I_INCOMPLETE_CREDENTIALS || (status == SEC_I_CONTINUE_NEEDED && !input.empty()))
      status = Step(&input, output);
    if (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_INCOMPLETE_MESSAGE) return TTlsStep::tsNeedInput;
    if (status != SEC_E_OK) throw ETlsFailure(TTlsFailureKind::tfHandshake, StatusText(status));
    status = QueryContextAttributesW(context_.Get(), SECPKG_ATTR_STREAM_SIZES, &sizes_);
    if (status != SEC_E_OK) throw ETlsFailure(TTlsFailureKind::tfHandshake, StatusText(status));
    renegotiating_ = false;
    ReadSessionInfo();
    return TTlsStep::tsDone;
  }

  void ReadSessionInfo() {
    SecPkgContext_ConnectionInfo connection{};
    if (QueryContextAttributesW(context_.Get(), SECPKG_ATTR_CONNECTION_INFO, &connection) == SEC_E_OK)
      info_.Version = VersionOf(connection.dwProtocol);
    SecPkgContext_CipherInfo cipher{};
    cipher.dwVersion = SECPKGCONTEXT_CIPHERINFO_V1;
    if (QueryContextAttributesW(context_.Get(), SECPKG_ATTR_CIPHER_INFO, &cipher) == SEC_E_OK && cipher.szCipherSuite[0])
      info_.Cipher = win32::WideToUtf8(cipher.szCipherSuite);
    else
      info_.Cipher = "ALG_ID " + StatusText(static_cast<SECURITY_STATUS>(connection.aiCipher));

    PCCERT_CONTEXT raw = nullptr;
    if (QueryContextAttributesW(context_.Get(), SECPKG_ATTR_REMOTE_CERT_CONTEXT, &raw) != SEC_E_OK || !raw) {
      if (policy_.Verification != TTlsVerification::tvNone)
        throw ETlsFailure(TTlsFailureKind::tfCertificate, "the server sent no certificate");
      return;
    }
    const TCertificate certificate(raw);
    info_.Subject = NameText(raw->pCertInfo->Subject);
    info_.Issuer = NameText(raw->pCertInfo->Issuer);
    info_.NotBefore = TimeOf(raw->pCertInfo->NotBefore);
    info_.NotAfter = TimeOf(raw->pCertInfo->NotAfter);
    info_.KeySha256 = KeySha256(raw);
    if (policy_.Verification == TTlsVerification::tvSystem) VerifyChain(raw);
    CheckPinnedKey(policy_, info_);
  }

  // The chain to a trusted root, the dates and the name. Schannel's own check is off
  // (SCH_CRED_MANUAL_CRED_VALIDATION): it would pass a chain that stops short of a root.
  void VerifyChain(PCCERT_CONTEXT certificate) {
    LPSTR usage[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usage;
    TChain chain;
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &para, 0, nullptr,
                                 chain.Put()))
      throw ETlsFailure(TTlsCertificateProblem::cpOther, ErrorText(GetLastError()), info_);
    if (const DWORD trust = chain.Get()->TrustStatus.dwErrorStatus; trust != CERT_TRUST_NO_ERROR)
      throw ETlsFailure(TrustProblem(trust), TrustText(trust), info_);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA extra{};
    extra.cbSize = sizeof extra;
    extra.dwAuthType = AUTHTYPE_SERVER;
    extra.pwszServerName = host_.data();
    CERT_CHAIN_POLICY_PARA policyPara{};
    policyPara.cbSize = sizeof policyPara;
    policyPara.pvExtraPolicyPara = &extra;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.Get(), &policyPara, &status))
      throw ETlsFailure(TTlsCertificateProblem::cpOther, ErrorText(GetLastError()), info_);
    if (status.dwError != 0) throw ETlsFailure(PolicyProblem(status.dwError), ErrorText(status.dwError), info_);
  }

  // Which date of the certificate the clock is outside of.
  TTlsCertificateProblem DateProblem() const {
    return std::chrono::system_clock::now() < info_.NotBefore ? TTlsCertificateProblem::cpNotYetValid
                                                               : TTlsCertificateProblem::cpExpired;
  }

  TTlsCertificateProblem TrustProblem(DWORD status) const {
    if (status & CERT_TRUST_IS_NOT_TIME_VALID) return DateProblem();
    if (status & (CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_UNTRUSTED_ROOT)) return TTlsCertificateProblem::cpUntrusted;
    return TTlsCertificateProblem::cpOther;
  }

  TTlsCertificateProblem PolicyProblem(DWORD error) const {
    switch (static_cast<HRESULT>(error)) {
      case CERT_E_CN_NO_MATCH: return TTlsCertificateProblem::cpNameMismatch;
      case CERT_E_EXPIRED: return DateProblem();
      case CERT_E_UNTRUSTEDROOT:
      case CERT_E_UNTRUSTEDTESTROOT:
      case CERT_E_CHAINING: return TTlsCertificateProblem::cpUntrusted;
      default: return TTlsCertificateProblem::cpOther;
    }
  }

  TTlsPolicyStruct policy_;
  std::wstring host_;    // the name the certificate must carry
  std::wstring target_;  // the same, when it goes out as SNI
  TCredentials credentials_;
  TContext context_;
  SecPkgContext_StreamSizes sizes_{};
  TTlsSessionInfoStruct info_;
  bool renegotiating_ = false;
  bool closed_ = false;
};

}  // namespace

std::unique_ptr<TTlsEngine> CreateTlsEngine(const TTlsPolicyStruct& policy) {
  return std::make_unique<TSchannelEngine>(policy);
}

}  // namespace eqd::platform
