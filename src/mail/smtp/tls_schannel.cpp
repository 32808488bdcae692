// The TLS layer on Schannel, the system's own TLS: nothing to ship beside the driver, and
// updated with the operating system. Schannel never sees the socket either: the
// handshake tokens and the encrypted records pass through this layer to and from the
// stream below, so the stream's limits on every wait apply to TLS as well.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
#include <windows.h>
#include <schannel.h>
#include <security.h>
#include <sspi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mail/smtp/smtp_error.h"
#include "mail/smtp/smtp_texts.h"
#include "mail/smtp/tls_layer.h"

namespace eqd::smtp {
namespace {

// Owners of the two Schannel handles.
struct TCredentials {
  CredHandle Handle{};
  bool Valid = false;
  ~TCredentials() {
    if (Valid) FreeCredentialsHandle(&Handle);
  }
};
struct TContext {
  CtxtHandle Handle{};
  bool Valid = false;
  ~TContext() {
    if (Valid) DeleteSecurityContext(&Handle);
  }
};

// A token Schannel allocated (ISC_REQ_ALLOCATE_MEMORY), freed on every path.
struct TOutToken {
  SecBuffer Buffer{0, SECBUFFER_TOKEN, nullptr};
  SecBufferDesc Desc{SECBUFFER_VERSION, 1, &Buffer};
  ~TOutToken() {
    if (Buffer.pvBuffer) FreeContextBuffer(Buffer.pvBuffer);
  }
};

std::wstring Widen(const std::string& text) {
  std::wstring out;
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n > 0) {
    out.resize(static_cast<std::size_t>(n));
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  }
  return out;
}

constexpr DWORD kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                  ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                  ISC_REQ_MANUAL_CRED_VALIDATION;

class TSchannelLayer final : public TTlsLayer {
 public:
  TSchannelLayer(TByteStream& lower, const std::string& serverName) : FLower(lower) {
    // SNI goes out with the target name; an address literal is no name and goes without.
    if (!serverName.empty() && !IsIpAddressLiteral(serverName)) FTarget = Widen(serverName);

    SCHANNEL_CRED cred{};
    cred.dwVersion = SCHANNEL_CRED_VERSION;
    cred.grbitEnabledProtocols = SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT | SP_PROT_TLS1_2_CLIENT;
    // No certificate checks and no client certificate, as on every backend.
    cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_CRED_NO_SERVERNAME_CHECK;
    TimeStamp expiry{};
    if (AcquireCredentialsHandleW(nullptr, const_cast<SEC_WCHAR*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
                                  &cred, nullptr, nullptr, &FCredentials.Handle, &expiry) != SEC_E_OK)
      throw ESmtpError(texts::kTlsHandshakeFailed);
    FCredentials.Valid = true;
  }

  ~TSchannelLayer() override = default;

  void Handshake() override {
    SECURITY_STATUS status = Step(nullptr);  // the ClientHello
    while (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_INCOMPLETE_MESSAGE ||
           status == SEC_I_INCOMPLETE_CREDENTIALS) {
      if (status != SEC_I_INCOMPLETE_CREDENTIALS && (FIncoming.empty() || status == SEC_E_INCOMPLETE_MESSAGE)) {
        if (!Fill()) throw ESmtpError(texts::kConnectionClosed);
      }
      status = Step(&FIncoming);
    }
    if (status != SEC_E_OK) throw ESmtpError(texts::kTlsHandshakeFailed);
    if (QueryContextAttributesW(&FContext.Handle, SECPKG_ATTR_STREAM_SIZES, &FSizes) != SEC_E_OK)
      throw ESmtpError(texts::kTlsHandshakeFailed);
    FReady = true;
  }

  std::size_t Read(char* buffer, std::size_t size) override {
    while (FPlainOffset == FPlain.size()) {
      if (FClosed) return 0;
      FPlain.clear();
      FPlainOffset = 0;
      if (FIncoming.empty() || !Decrypt()) {
        if (!Fill()) return 0;  // the server went without a close_notify
      }
    }
    const std::size_t n = std::min(size, FPlain.size() - FPlainOffset);
    std::memcpy(buffer, FPlain.data() + FPlainOffset, n);
    FPlainOffset += n;
    return n;
  }

  void Write(std::string_view data) override {
    if (!FReady) throw ESmtpError(texts::kTlsError);
    std::vector<char> record;
    while (!data.empty()) {
      const std::size_t chunk = std::min<std::size_t>(data.size(), FSizes.cbMaximumMessage);
      record.resize(FSizes.cbHeader + chunk + FSizes.cbTrailer);
      std::memcpy(record.data() + FSizes.cbHeader, data.data(), chunk);
      SecBuffer buffers[4] = {
          {FSizes.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
          {static_cast<unsigned long>(chunk), SECBUFFER_DATA, record.data() + FSizes.cbHeader},
          {FSizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + FSizes.cbHeader + chunk},
          {0, SECBUFFER_EMPTY, nullptr},
      };
      SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
      const SECURITY_STATUS status = EncryptMessage(&FContext.Handle, 0, &desc, 0);
      if (status != SEC_E_OK) throw ESmtpError(SecurityErrorText(status));
      FLower.Write(std::string_view(record.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer));
      data.remove_prefix(chunk);
    }
  }

  bool InputPending() override {
    return FClosed || FPlainOffset < FPlain.size() || !FIncoming.empty() || FLower.InputPending();
  }

  void Close() noexcept override {
    if (!FReady || FShutdownSent) return;
    FShutdownSent = true;
    try {
      DWORD type = SCHANNEL_SHUTDOWN;
      SecBuffer buffer{sizeof type, SECBUFFER_TOKEN, &type};
      SecBufferDesc desc{SECBUFFER_VERSION, 1, &buffer};
      if (ApplyControlToken(&FContext.Handle, &desc) != SEC_E_OK) return;
      TOutToken out;
      ULONG attributes = 0;
      TimeStamp expiry{};
      InitializeSecurityContextW(&FCredentials.Handle, &FContext.Handle, Target(), kContextRequest, 0, 0, nullptr, 0,
                                 nullptr, &out.Desc, &attributes, &expiry);
      if (out.Buffer.pvBuffer && out.Buffer.cbBuffer)
        FLower.Write(std::string_view(static_cast<const char*>(out.Buffer.pvBuffer), out.Buffer.cbBuffer));
    } catch (...) {
      // The server may be gone already; the session is over either way.
    }
  }

 private:
  SEC_WCHAR* Target() { return FTarget.empty() ? nullptr : FTarget.data(); }

  // One handshake call: sends what Schannel produced and keeps the bytes it has not used.
  SECURITY_STATUS Step(std::vector<char>* input) {
    SecBuffer in[2] = {{0, SECBUFFER_TOKEN, nullptr}, {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
    if (input) {
      in[0].cbBuffer = static_cast<unsigned long>(input->size());
      in[0].pvBuffer = input->data();
    }
    TOutToken out;
    ULONG attributes = 0;
    TimeStamp expiry{};
    const SECURITY_STATUS status = InitializeSecurityContextW(
        &FCredentials.Handle, FContext.Valid ? &FContext.Handle : nullptr, Target(), kContextRequest, 0, 0,
        input ? &inDesc : nullptr, 0, FContext.Valid ? nullptr : &FContext.Handle, &out.Desc, &attributes, &expiry);
    if (!FContext.Valid && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED)) FContext.Valid = true;
    if (out.Buffer.pvBuffer && out.Buffer.cbBuffer)
      FLower.Write(std::string_view(static_cast<const char*>(out.Buffer.pvBuffer), out.Buffer.cbBuffer));
    if (input && status != SEC_E_INCOMPLETE_MESSAGE) {
      // What follows the handshake record (already the first encrypted data) stays.
      if (in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer > 0)
        input->erase(input->begin(), input->end() - in[1].cbBuffer);
      else if (status != SEC_I_INCOMPLETE_CREDENTIALS)
        input->clear();
    }
    return status;
  }

  // Decrypts the next record of FIncoming into FPlain; false when more bytes are needed.
  bool Decrypt() {
    SecBuffer buffers[4] = {
        {static_cast<unsigned long>(FIncoming.size()), SECBUFFER_DATA, FIncoming.data()},
        {0, SECBUFFER_EMPTY, nullptr},
        {0, SECBUFFER_EMPTY, nullptr},
        {0, SECBUFFER_EMPTY, nullptr},
    };
    SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = DecryptMessage(&FContext.Handle, &desc, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) return false;
    if (status == SEC_I_CONTEXT_EXPIRED) {  // the server's close_notify
      FClosed = true;
      FIncoming.clear();
      return true;
    }
    if (status != SEC_E_OK) throw ESmtpError(SecurityErrorText(status));
    std::size_t extra = 0;
    for (const SecBuffer& b : buffers) {
      if (b.BufferType == SECBUFFER_DATA && b.cbBuffer)
        FPlain.append(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
      if (b.BufferType == SECBUFFER_EXTRA) extra = b.cbBuffer;
    }
    FIncoming.erase(FIncoming.begin(), FIncoming.end() - static_cast<std::ptrdiff_t>(extra));
    return true;
  }

  // Appends the next bytes from the server to FIncoming; false when the server closed.
  bool Fill() {
    char chunk[16 * 1024];
    const std::size_t n = FLower.Read(chunk, sizeof chunk);
    if (n == 0) return false;
    FIncoming.insert(FIncoming.end(), chunk, chunk + n);
    return true;
  }

  static std::string SecurityErrorText(SECURITY_STATUS status) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(status));
    return std::string(texts::kTlsError) + ": " + code;
  }

  TByteStream& FLower;
  std::wstring FTarget;
  TCredentials FCredentials;
  TContext FContext;
  SecPkgContext_StreamSizes FSizes{};
  std::vector<char> FIncoming;  // encrypted bytes not yet used
  std::string FPlain;           // decrypted bytes not yet read
  std::size_t FPlainOffset = 0;
  bool FReady = false;
  bool FClosed = false;
  bool FShutdownSent = false;
};

}  // namespace

std::unique_ptr<TTlsLayer> CreateTlsLayer(TByteStream& lower, const std::string& serverName) {
  return std::make_unique<TSchannelLayer>(lower, serverName);
}

}  // namespace eqd::smtp
