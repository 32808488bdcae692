#include "mail/smtp/socket_stream.h"

#include <algorithm>

#include "mail/smtp/smtp_error.h"
#include "mail/smtp/smtp_texts.h"

namespace eqd::smtp {
namespace {

std::string WithDetail(std::string text, const std::string& detail) {
  if (!detail.empty()) text += ": " + detail;
  return text;
}

// The failure of a read or write in the host's words.
[[noreturn]] void Rethrow(const platform::ESocketError& e, const char* timeoutText) {
  switch (e.Kind()) {
    case platform::TSocketErrorKind::skTimeout: throw ESmtpError(timeoutText);
    case platform::TSocketErrorKind::skCancelled: throw ESmtpError(texts::kCancelled);
    case platform::TSocketErrorKind::skClosed: throw ESmtpError(WithDetail(texts::kConnectionClosed, e.what()));
    default: throw ESmtpError(WithDetail(texts::kNetworkError, e.what()));
  }
}

}  // namespace

TSocketStream::TSocketStream(const std::string& host, std::uint16_t port, std::chrono::milliseconds wait)
    : waitMs_(static_cast<int>(wait.count())) {
  const std::string where = host + ":" + std::to_string(port);
  try {
    socket_.Connect(host, port, waitMs_);
  } catch (const platform::ESocketError& e) {
    switch (e.Kind()) {
      case platform::TSocketErrorKind::skResolve:
        throw ESmtpError(WithDetail(std::string(texts::kResolveFailed) + " " + host, e.what()));
      case platform::TSocketErrorKind::skTimeout:
        throw ESmtpError(std::string(texts::kConnectTimeout) + " " + where);
      case platform::TSocketErrorKind::skCancelled:
        throw ESmtpError(texts::kCancelled);
      default:
        throw ESmtpError(WithDetail(std::string(texts::kConnectFailed) + " " + where, e.what()));
    }
  }
}

std::size_t TSocketStream::Read(char* buffer, std::size_t size) {
  int limitMs = waitMs_;
  if (readDeadline_) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*readDeadline_ -
                                                                            std::chrono::steady_clock::now());
    if (left.count() <= 0) throw ESmtpError(texts::kReadTimeout);
    limitMs = static_cast<int>(std::min<long long>(limitMs, left.count()));
  }
  try {
    socket_.SetTimeout(limitMs);
    return socket_.Read(buffer, size);
  } catch (const platform::ESocketError& e) {
    Rethrow(e, texts::kReadTimeout);
  }
}

void TSocketStream::Write(std::string_view data) {
  try {
    socket_.SetTimeout(waitMs_);
    socket_.Write(data);
  } catch (const platform::ESocketError& e) {
    Rethrow(e, texts::kWriteTimeout);
  }
}

bool TSocketStream::InputPending() {
  try {
    return socket_.HasInput();
  } catch (const platform::ESocketError& e) {
    Rethrow(e, texts::kReadTimeout);
  }
}

void TSocketStream::SetReadDeadline(std::optional<std::chrono::steady_clock::time_point> deadline) {
  readDeadline_ = deadline;
}

}  // namespace eqd::smtp
