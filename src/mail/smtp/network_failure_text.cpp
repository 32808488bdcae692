#include "mail/smtp/network_failure_text.h"

#include <optional>

#include "mail/smtp/smtp_texts.h"

namespace eqd::smtp {
namespace {

using net::TNetErrorKind;
using net::TNetStep;
using platform::TTlsCertificateProblem;
using C = TSmtpFailureClass;

struct TFailureRow {
  std::optional<TNetStep> Step;       // none: any step
  std::optional<TNetErrorKind> Kind;  // none: any kind
  C Class;
  const char* Text;  // nullptr: the system's wording alone
  bool Detail;       // the text followed by ": " and the system's wording, when there is one
};

// The first row that fits a failure gives its class and text. A failure to connect is
// explained whole by its class (the server and port are named there), so only the
// system's wording follows; everything else that goes wrong during the TLS handshake is
// the one established sentence.
constexpr TFailureRow kFailures[] = {
    {TNetStep::nsConnect, TNetErrorKind::neNameNotFound, C::fcNameNotFound, nullptr, true},
    {TNetStep::nsConnect, TNetErrorKind::neRefused, C::fcConnectRefused, nullptr, true},
    {TNetStep::nsConnect, TNetErrorKind::neTimedOut, C::fcConnectTimedOut, nullptr, true},
    {TNetStep::nsConnect, std::nullopt, C::fcConnectFailed, nullptr, true},
    {TNetStep::nsHandshake, TNetErrorKind::neCertificate, C::fcCertRejected, nullptr, true},
    {TNetStep::nsHandshake, std::nullopt, C::fcTlsHandshake, texts::kTlsHandshakeFailed, false},
    {TNetStep::nsRead, TNetErrorKind::neTimedOut, C::fcTimedOut, texts::kReadTimeout, false},
    {TNetStep::nsWrite, TNetErrorKind::neTimedOut, C::fcTimedOut, texts::kWriteTimeout, false},
    {std::nullopt, TNetErrorKind::neClosed, C::fcClosed, texts::kConnectionClosed, true},
    {std::nullopt, TNetErrorKind::neTls, C::fcOther, texts::kTlsError, true},
    {std::nullopt, std::nullopt, C::fcOther, texts::kNetworkError, true},
};

C CertificateClass(TTlsCertificateProblem problem) {
  switch (problem) {
    case TTlsCertificateProblem::cpUntrusted: return C::fcCertUntrusted;
    case TTlsCertificateProblem::cpNameMismatch: return C::fcCertNameMismatch;
    case TTlsCertificateProblem::cpExpired: return C::fcCertExpired;
    case TTlsCertificateProblem::cpNotYetValid: return C::fcCertNotYetValid;
    case TTlsCertificateProblem::cpPinMismatch: return C::fcCertPinMismatch;
    case TTlsCertificateProblem::cpOther: break;
  }
  return C::fcCertRejected;
}

}  // namespace

TSmtpFailureStruct NetworkFailure(const net::ENetError& e) {
  TSmtpFailureStruct f;
  const std::string detail = e.Detail();
  for (const TFailureRow& row : kFailures) {
    if ((row.Step && *row.Step != e.Step()) || (row.Kind && *row.Kind != e.Kind())) continue;
    f.Class = row.Class;
    f.Text = row.Text != nullptr ? row.Text : "";
    if (row.Detail && !detail.empty()) f.Text += (f.Text.empty() ? "" : ": ") + detail;
    break;
  }
  if (e.Kind() == TNetErrorKind::neCertificate) {
    f.Class = CertificateClass(e.CertificateProblem());
    if (const auto& c = e.Certificate()) f.Certificate = TCertificateFactsStruct{c->Subject, c->Issuer, c->NotBefore,
                                                                               c->NotAfter, c->KeySha256};
  }
  return f;
}

}  // namespace eqd::smtp
