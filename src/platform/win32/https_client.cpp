// The HTTPS client over WinHTTP, the system's own: its certificate check uses the system's
// roots and its proxy is the one the system is set up with.
#include "platform/https_client.h"

#include <windows.h>
#include <winhttp.h>

#include "platform/os_error.h"
#include "platform/unique_handle.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace eqd::platform {
namespace {

using TInternet = TUniqueHandle<HINTERNET, &WinHttpCloseHandle>;

THttpsErrorKind KindOf(DWORD code) {
  switch (code) {
    case ERROR_WINHTTP_INVALID_URL:
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME: return THttpsErrorKind::hkAddress;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return THttpsErrorKind::hkResolve;
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_CONNECTION_ERROR: return THttpsErrorKind::hkConnect;
    case ERROR_WINHTTP_TIMEOUT: return THttpsErrorKind::hkTimeout;
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED: return THttpsErrorKind::hkCertificate;
    default: return THttpsErrorKind::hkIO;
  }
}

// WinHTTP's codes have their texts in its own module, not in the system's table.
[[noreturn]] void Fail(DWORD code) {
  std::string text;
  if (HMODULE module = GetModuleHandleW(L"winhttp.dll")) {
    win32::TLocalMemory<wchar_t*> buffer;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   module, code, 0, reinterpret_cast<wchar_t*>(buffer.Put()), 0, nullptr);
    std::wstring_view wide(buffer ? buffer.Get() : L"", buffer ? n : 0);
    while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ')) wide.remove_suffix(1);
    text = win32::WideToUtf8(wide);
  }
  if (text.empty()) text = SystemErrorText(static_cast<OsErrorCode>(code));
  throw EHttpsError(KindOf(code), "WinHTTP " + std::to_string(code) + (text.empty() ? "" : ": " + text));
}

void Check(BOOL ok) {
  if (!ok) Fail(GetLastError());
}

int MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
  if (left <= 0) throw EHttpsError(THttpsErrorKind::hkTimeout, {});
  return left > 0x7fffffff ? 0x7fffffff : static_cast<int>(left);
}

// Each wait WinHTTP makes gets what is left of the deadline.
void LimitWaits(HINTERNET handle, std::chrono::steady_clock::time_point deadline) {
  const int left = MillisecondsLeft(deadline);
  Check(WinHttpSetTimeouts(handle, left, left, left, left));
}

std::wstring QueryRawHeaders(HINTERNET request) {
  DWORD size = 0;
  WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size,
                      WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
  std::wstring raw(size / sizeof(wchar_t), L'\0');
  Check(WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, raw.data(), &size,
                            WINHTTP_NO_HEADER_INDEX));
  raw.resize(size / sizeof(wchar_t));
  return raw;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The raw header block starts with the status line; the rest are "Name: value" lines.
std::vector<std::pair<std::string, std::string>> ParseHeaders(const std::string& raw) {
  std::vector<std::pair<std::string, std::string>> headers;
  size_t start = raw.find("\r\n");
  while (start != std::string::npos && start + 2 < raw.size()) {
    const size_t end = raw.find("\r\n", start + 2);
    const std::string_view line = std::string_view(raw).substr(start + 2, end == std::string::npos ? std::string::npos
                                                                                                  : end - start - 2);
    const size_t colon = line.find(':');
    if (colon != std::string_view::npos)
      headers.emplace_back(std::string(TrimBlanks(line.substr(0, colon))), std::string(TrimBlanks(line.substr(colon + 1))));
    start = end;
  }
  return headers;
}

}  // namespace

THttpsResponseStruct HttpsSend(const THttpsRequestStruct& request) {
  if (!request.Url.starts_with("https://")) throw EHttpsError(THttpsErrorKind::hkAddress, request.Url);
  MillisecondsLeft(request.Deadline);

  std::wstring url = win32::Utf8ToWide(request.Url);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  Check(WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts));
  if (parts.nScheme != INTERNET_SCHEME_HTTPS) throw EHttpsError(THttpsErrorKind::hkAddress, request.Url);
  const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
  path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (path.empty()) path = L"/";

  // The system's proxy settings (Windows 8.1 and later); older systems take WinHTTP's own.
  TInternet session(WinHttpOpen(L"vlm_dodezoz41", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session)
    session.Reset(WinHttpOpen(L"vlm_dodezoz41", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) Fail(GetLastError());
  LimitWaits(session.Get(), request.Deadline);

  TInternet connection(WinHttpConnect(session.Get(), host.c_str(), parts.nPort, 0));
  if (!connection) Fail(GetLastError());
  TInternet exchange(WinHttpOpenRequest(connection.Get(), request.Post ? L"POST" : L"GET", path.c_str(), nullptr,
                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
  if (!exchange) Fail(GetLastError());
  DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  Check(WinHttpSetOption(exchange.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof(never)));
  LimitWaits(exchange.Get(), request.Deadline);

  std::string headerLines = "Accept: application/json\r\n";
  if (request.Post) headerLines += "Content-Type: " + request.ContentType + "\r\n";
  for (const std::string& line : request.Headers) headerLines += line + "\r\n";
  const std::wstring headers = win32::Utf8ToWide(headerLines);
  Check(WinHttpSendRequest(exchange.Get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                           request.Post ? const_cast<char*>(request.Body.data()) : WINHTTP_NO_REQUEST_DATA,
                           static_cast<DWORD>(request.Body.size()), static_cast<DWORD>(request.Body.size()), 0));
  Check(WinHttpReceiveResponse(exchange.Get(), nullptr));

  THttpsResponseStruct response;
  DWORD status = 0;
  DWORD size = sizeof(status);
  Check(WinHttpQueryHeaders(exchange.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX));
  response.Status = static_cast<int>(status);
  response.Headers = ParseHeaders(win32::WideToUtf8(QueryRawHeaders(exchange.Get())));

  for (;;) {
    MillisecondsLeft(request.Deadline);
    DWORD available = 0;
    Check(WinHttpQueryDataAvailable(exchange.Get(), &available));
    if (available == 0) break;
    if (response.Body.size() + available > kHttpsMaxBody) throw EHttpsError(THttpsErrorKind::hkTooLarge, {});
    const size_t start = response.Body.size();
    response.Body.resize(start + available);
    DWORD read = 0;
    Check(WinHttpReadData(exchange.Get(), response.Body.data() + start, available, &read));
    response.Body.resize(start + read);
    if (read == 0) break;
  }
  return response;
}

}  // namespace eqd::platform
