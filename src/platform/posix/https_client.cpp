// The HTTPS client over libcurl (built with OpenSSL on Debian).
#include "platform/https_client.h"

#include <curl/curl.h>

#include <cstdlib>
#include <mutex>

#include "platform/unique_handle.h"

namespace eqd::platform {
namespace {

using TCurl = TUniqueHandle<CURL*, &curl_easy_cleanup>;
using TCurlHeaders = TUniqueHandle<curl_slist*, &curl_slist_free_all>;

struct TTransferStruct {
  THttpsResponseStruct Response;
  bool TooLarge = false;
};

size_t OnBody(char* data, size_t size, size_t count, void* context) {
  auto* transfer = static_cast<TTransferStruct*>(context);
  const size_t bytes = size * count;
  if (transfer->Response.Body.size() + bytes > kHttpsMaxBody) {
    transfer->TooLarge = true;
    return 0;  // makes the transfer fail with a write error
  }
  transfer->Response.Body.append(data, bytes);
  return bytes;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
    text.remove_suffix(1);
  return text;
}

// Header lines arrive one at a time, the status line of each answer first: a proxy's
// answer to CONNECT comes before the server's, so a status line starts the list anew.
size_t OnHeader(char* data, size_t size, size_t count, void* context) {
  auto* transfer = static_cast<TTransferStruct*>(context);
  const std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) {
    transfer->Response.Headers.clear();
    return line.size();
  }
  const size_t colon = line.find(':');
  if (colon != std::string_view::npos)
    transfer->Response.Headers.emplace_back(std::string(TrimBlanks(line.substr(0, colon))),
                                            std::string(TrimBlanks(line.substr(colon + 1))));
  return line.size();
}

THttpsErrorKind KindOf(CURLcode code) {
  switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT: return THttpsErrorKind::hkAddress;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return THttpsErrorKind::hkResolve;
    case CURLE_COULDNT_CONNECT: return THttpsErrorKind::hkConnect;
    case CURLE_OPERATION_TIMEDOUT: return THttpsErrorKind::hkTimeout;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM: return THttpsErrorKind::hkCertificate;
    default: return THttpsErrorKind::hkIO;
  }
}

void Check(CURLcode code) {
  if (code != CURLE_OK) throw EHttpsError(THttpsErrorKind::hkIO, curl_easy_strerror(code));
}

}  // namespace

THttpsResponseStruct HttpsSend(const THttpsRequestStruct& request) {
  // The library's one-time set-up is not safe to race; the driver may send from several
  // host threads.
  static std::once_flag initialised;
  std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

  if (!request.Url.starts_with("https://"))
    throw EHttpsError(THttpsErrorKind::hkAddress, request.Url);
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(request.Deadline -
                                                                          std::chrono::steady_clock::now());
  if (left.count() <= 0) throw EHttpsError(THttpsErrorKind::hkTimeout, {});

  TCurl curl(curl_easy_init());
  if (!curl) throw EHttpsError(THttpsErrorKind::hkIO, "curl_easy_init");
  CURL* c = curl.Get();
  TTransferStruct transfer;
  char errorText[CURL_ERROR_SIZE] = {};

  Check(curl_easy_setopt(c, CURLOPT_URL, request.Url.c_str()));
  Check(curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "https"));
  Check(curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L));
  Check(curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L));  // no SIGALRM inside a host's process
  Check(curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(left.count())));
  Check(curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L));
  Check(curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L));
  if (const char* file = std::getenv("SSL_CERT_FILE"); file && *file) Check(curl_easy_setopt(c, CURLOPT_CAINFO, file));
  if (const char* dir = std::getenv("SSL_CERT_DIR"); dir && *dir) Check(curl_easy_setopt(c, CURLOPT_CAPATH, dir));
  Check(curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText));
  Check(curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnBody));
  Check(curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer));
  Check(curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &OnHeader));
  Check(curl_easy_setopt(c, CURLOPT_HEADERDATA, &transfer));
  Check(curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, ""));

  TCurlHeaders headers;
  const auto addHeader = [&headers](const std::string& line) {
    curl_slist* longer = curl_slist_append(headers.Get(), line.c_str());
    if (!longer) throw EHttpsError(THttpsErrorKind::hkIO, "curl_slist_append");
    headers.Detach();
    headers.Reset(longer);
  };
  addHeader("Accept: application/json");
  if (request.Post) {
    addHeader("Content-Type: " + request.ContentType);
    Check(curl_easy_setopt(c, CURLOPT_POST, 1L));
    Check(curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.Body.size())));
    Check(curl_easy_setopt(c, CURLOPT_POSTFIELDS, request.Body.data()));
  }
  for (const std::string& line : request.Headers) addHeader(line);
  Check(curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.Get()));

  const CURLcode result = curl_easy_perform(c);
  if (transfer.TooLarge) throw EHttpsError(THttpsErrorKind::hkTooLarge, {});
  if (result != CURLE_OK)
    throw EHttpsError(KindOf(result), *errorText ? std::string(errorText) : std::string(curl_easy_strerror(result)));
  long status = 0;
  Check(curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status));
  transfer.Response.Status = static_cast<int>(status);
  return std::move(transfer.Response);
}

}  // namespace eqd::platform
