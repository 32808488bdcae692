#include "mail/smtp/socket_stream.h"

#include <atomic>

#include "mail/smtp/smtp_error.h"
#include "mail/smtp/smtp_texts.h"

namespace eqd::smtp {
namespace {

std::atomic<int> gTestTimeoutMs{0};

std::string WithDetail(std::string text, const std::string& detail) {
  if (!detail.empty()) text += ": " + detail;
  return text;
}

// The failure of a read or write in the host's words.
[[noreturn]] void Rethrow(const platform::ESocketError& e, const char* timeoutText) {
  switch (e.Kind()) {
    case platform::TSocketErrorKind::skTimeout: throw ESmtpError(timeoutText);
    case platform::TSocketErrorKind::skClosed: throw ESmtpError(WithDetail(texts::kConnectionClosed, e.what()));
    default: throw ESmtpError(WithDetail(texts::kNetworkError, e.what()));
  }
}

}  // namespace

int TimeoutMs() {
  const int test = gTestTimeoutMs.load();
  return test > 0 ? test : kDefaultTimeoutMs;
}

void SetTimeoutMsForTesting(int timeoutMs) { gTestTimeoutMs.store(timeoutMs > 0 ? timeoutMs : 0); }

TSocketStream::TSocketStream(const std::string& host, std::uint16_t port) {
  const std::string where = host + ":" + std::to_string(port);
  try {
    socket_.Connect(host, port, TimeoutMs());
  } catch (const platform::ESocketError& e) {
    switch (e.Kind()) {
      case platform::TSocketErrorKind::skResolve:
        throw ESmtpError(WithDetail(std::string(texts::kResolveFailed) + " " + host, e.what()));
      case platform::TSocketErrorKind::skTimeout:
        throw ESmtpError(std::string(texts::kConnectTimeout) + " " + where);
      default:
        throw ESmtpError(WithDetail(std::string(texts::kConnectFailed) + " " + where, e.what()));
    }
  }
}

std::size_t TSocketStream::Read(char* buffer, std::size_t size) {
  try {
    return socket_.Read(buffer, size);
  } catch (const platform::ESocketError& e) {
    Rethrow(e, texts::kReadTimeout);
  }
}

void TSocketStream::Write(std::string_view data) {
  try {
    socket_.Write(data);
  } catch (const platform::ESocketError& e) {
    Rethrow(e, texts::kWriteTimeout);
  }
}

}  // namespace eqd::smtp
