// A small HTTPS client for the few requests the driver makes besides SMTP (OAuth 2.0 token
// endpoints): one request, one answer, a deadline on the whole exchange. The server's
// certificate is always verified against the system's roots (there is no switch to turn
// that off); only https:// addresses are taken and redirects are not followed, so a form
// carrying a secret goes to the address it was meant for or nowhere.
//
// Linux: the CA bundle named by SSL_CERT_FILE / SSL_CERT_DIR when set (as OpenSSL's own
// default paths honour them), the proxy from https_proxy / no_proxy.
// Windows: the system's roots and proxy settings.
#pragma once

#include <chrono>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace eqd::platform {

enum class THttpsErrorKind {
  hkAddress,      // not an https:// address the client can use
  hkResolve,      // the host name does not resolve
  hkConnect,      // no connection (to the host or the proxy)
  hkCertificate,  // the TLS handshake failed or the certificate was not trusted
  hkTimeout,      // the deadline passed
  hkTooLarge,     // the answer was larger than the client reads
  hkIO,           // any other failure
};

// what() holds the system's or the library's own wording (may be empty); the caller adds
// its own sentence around it.
class EHttpsError : public std::runtime_error {
 public:
  EHttpsError(THttpsErrorKind kind, const std::string& detail) : std::runtime_error(detail), kind_(kind) {}
  THttpsErrorKind Kind() const { return kind_; }

 private:
  THttpsErrorKind kind_;
};

struct THttpsRequestStruct {
  std::string Url;                   // https://host[:port]/path?query
  std::string Body;                  // sent with POST; a GET has none
  std::string ContentType;           // of the body, with POST
  std::vector<std::string> Headers;  // further header lines, "Name: value"
  bool Post = false;
  std::chrono::steady_clock::time_point Deadline;
};

struct THttpsResponseStruct {
  int Status = 0;
  std::string Body;
  std::vector<std::pair<std::string, std::string>> Headers;  // of the final answer, in order

  // The first header of that name (any case); empty when there is none.
  std::string Header(std::string_view name) const;
};

// The most of an answer's body the client reads; an identity provider's answers are a few
// kilobytes, so anything near this is not one.
inline constexpr std::size_t kHttpsMaxBody = 1 << 20;

// Sends the request and returns the server's answer whatever its status. Throws
// EHttpsError when there is no answer.
THttpsResponseStruct HttpsSend(const THttpsRequestStruct& request);

}  // namespace eqd::platform
