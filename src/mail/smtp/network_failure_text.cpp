#include "mail/smtp/network_failure_text.h"

#include <optional>

#include "mail/smtp/smtp_texts.h"

namespace eqd::smtp {
namespace {

using net::TNetErrorKind;
using net::TNetStep;

enum class TServerNamed { snNo, snHost, snHostAndPort };

struct TFailureTextRow {
  std::optional<TNetStep> Step;       // none: any step
  std::optional<TNetErrorKind> Kind;  // none: any kind
  const char* Text;
  TServerNamed Server;
  bool Detail;  // followed by ": " and the system's wording, when there is one
};

// The first row that fits a failure gives its text. Everything that goes wrong during
// the TLS handshake is the one established sentence.
constexpr TFailureTextRow kFailureTexts[] = {
    {TNetStep::nsConnect, TNetErrorKind::neNameNotFound, texts::kResolveFailed, TServerNamed::snHost, true},
    {TNetStep::nsConnect, TNetErrorKind::neTimedOut, texts::kConnectTimeout, TServerNamed::snHostAndPort, false},
    {TNetStep::nsConnect, std::nullopt, texts::kConnectFailed, TServerNamed::snHostAndPort, true},
    {TNetStep::nsHandshake, std::nullopt, texts::kTlsHandshakeFailed, TServerNamed::snNo, false},
    {TNetStep::nsRead, TNetErrorKind::neTimedOut, texts::kReadTimeout, TServerNamed::snNo, false},
    {TNetStep::nsWrite, TNetErrorKind::neTimedOut, texts::kWriteTimeout, TServerNamed::snNo, false},
    {std::nullopt, TNetErrorKind::neClosed, texts::kConnectionClosed, TServerNamed::snNo, true},
    {std::nullopt, TNetErrorKind::neTls, texts::kTlsError, TServerNamed::snNo, true},
    {std::nullopt, std::nullopt, texts::kNetworkError, TServerNamed::snNo, true},
};

}  // namespace

std::string NetworkFailureText(const net::ENetError& failure, std::string_view host, std::uint16_t port) {
  for (const TFailureTextRow& row : kFailureTexts) {
    if ((row.Step && *row.Step != failure.Step()) || (row.Kind && *row.Kind != failure.Kind())) continue;
    std::string text = row.Text;
    if (row.Server != TServerNamed::snNo) {
      text.push_back(' ');
      text.append(host);
    }
    if (row.Server == TServerNamed::snHostAndPort) {
      text.push_back(':');
      text.append(std::to_string(port));
    }
    const std::string detail = failure.Detail();
    if (row.Detail && !detail.empty()) {
      text.append(": ");
      text.append(detail);
    }
    return text;
  }
  return texts::kNetworkError;
}

}  // namespace eqd::smtp
