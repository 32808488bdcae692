#include "mail/security/failure_explanation.h"

#include <algorithm>
#include <optional>
#include <cstdio>
#include <string_view>

#include "automation/ascii_case.h"
#include "mail/oauth/oauth_error.h"
#include "mail/security/explanation_texts.h"
#include "mail/security/mail_services.h"

namespace eqd {
namespace {

namespace texts = explanation_texts;
using C = TSmtpFailureClass;

struct TExplanationRow {
  C Class;
  const char* Step;
  const char* Cause;
  const char* Advice;  // may be empty
};

// One row per class of failure: where it happened, why, what to do. "{host}", "{port}",
// "{versions}", "{method}", "{mechanisms}", "{recipient}" are filled from the record.
// A class without a row (time-outs and closed connections after the greeting, anything
// unforeseen) keeps its text alone: that text already says all that is known.
constexpr TExplanationRow kExplanations[] = {
    {C::fcNameNotFound, texts::kStepConnect, texts::kNameNotFound, texts::kAdviceCheckName},
    {C::fcConnectRefused, texts::kStepConnectTo, texts::kConnectRefused, texts::kAdviceUsualPorts},
    {C::fcConnectTimedOut, texts::kStepConnectTo, texts::kConnectTimedOut, texts::kAdviceBlockedPort},
    {C::fcConnectFailed, texts::kStepConnectTo, texts::kConnectFailed, texts::kAdviceCheckNetwork},
    {C::fcNoGreeting, texts::kStepGreeting, texts::kNoGreeting, texts::kAdviceMaybeImplicitTls},
    {C::fcPlainOnTlsPort, texts::kStepConnectTo, texts::kPlainOnTlsPort, texts::kAdvicePlainPort},
    {C::fcTlsOnPlainPort, texts::kStepConnectTo, texts::kTlsOnPlainPort, texts::kAdviceTlsPort},
    {C::fcTlsHandshake, texts::kStepTls, texts::kTlsHandshake, texts::kAdviceTlsVersions},
    {C::fcCertUntrusted, texts::kStepCertificate, texts::kCertUntrusted, texts::kAdviceTrustOrPin},
    {C::fcCertNameMismatch, texts::kStepCertificate, texts::kCertNameMismatch, texts::kAdviceCertName},
    {C::fcCertExpired, texts::kStepCertificate, texts::kCertExpired, texts::kAdviceCertDates},
    {C::fcCertNotYetValid, texts::kStepCertificate, texts::kCertNotYetValid, texts::kAdviceCertDates},
    {C::fcCertPinMismatch, texts::kStepCertificate, texts::kCertPinMismatch, texts::kAdvicePin},
    {C::fcCertRejected, texts::kStepCertificate, texts::kCertRejected, texts::kAdviceTrustOrPin},
    {C::fcStartTlsNotOffered, texts::kStepStartTls, texts::kStartTlsNotOffered, texts::kAdviceStartTlsMissing},
    {C::fcStartTlsRefused, texts::kStepStartTls, texts::kStartTlsRefused, texts::kAdviceStartTlsRefused},
    {C::fcAuthMethodNotOffered, texts::kStepAuth, texts::kAuthMethodNotOffered, texts::kAdviceChooseMethod},
    {C::fcLoginRefused, texts::kStepAuth, texts::kLoginRefused, texts::kAdviceCheckLogin},
    {C::fcSenderRefused, texts::kStepSender, texts::kSenderRefused, ""},
    {C::fcRecipientRefused, texts::kStepRecipient, texts::kRecipientRefused, texts::kAdviceRecipient},
    {C::fcMessageTooLarge, texts::kStepMessage, texts::kMessageTooLarge, texts::kAdviceTooLarge},
    {C::fcMessageRefused, texts::kStepMessage, texts::kMessageRefused, ""},
    {C::fcServerRefused, texts::kStepGreeting, texts::kServerRefused, ""},
};

// Advice that depends on what the server answered: the first row whose reply code and
// enhanced status code fit, and whose service (when it names one) is the server's, is
// put in place of the class's own advice.
struct THintRow {
  std::optional<C> Class;    // none: any
  int Code;                  // 0: any; a single digit: any code of that class (4: 4xx)
  std::string_view Status;   // enhanced status code, empty: any
  std::string_view TextHas;  // a word the reply text holds (Latin letters in any case), empty: any
  const char* Service;       // the service's name in the preset table, nullptr: any
  const char* Hint;
};

constexpr THintRow kReplyHints[] = {
    {C::fcLoginRefused, 0, "5.7.8", "", "Gmail", texts::kHintGmailAppPassword},
    {C::fcLoginRefused, 0, "5.7.139", "", nullptr, texts::kHintMicrosoftSmtpAuthOff},
    {C::fcLoginRefused, 535, "5.7.3", "", nullptr, texts::kHintMicrosoftSmtpAuthOff},
    {std::nullopt, 0, "", "STARTTLS", nullptr, texts::kHintStartTlsFirst},
    {std::nullopt, 530, "", "", nullptr, texts::kHintLoginFirst},
    {C::fcSenderRefused, 0, "5.7.1", "", nullptr, texts::kHintNotYourAddress},
    {std::nullopt, 4, "", "", nullptr, texts::kHintTransient},
};

std::string_view EnhancedStatus(std::string_view text) {
  // "5.7.8 Error…": class, subject and detail, digits and two dots.
  std::size_t i = 0;
  int dots = 0;
  while (i < text.size() && ((text[i] >= '0' && text[i] <= '9') || (text[i] == '.' && ++dots <= 2))) ++i;
  if (dots != 2 || (i < text.size() && text[i] != ' ')) return {};
  return text.substr(0, i);
}

bool Holds(std::string_view text, std::string_view word) {
  const std::string lower = AsciiLowerCase(text);
  return lower.find(AsciiLowerCase(word)) != std::string::npos;
}

// Gmail ends its replies with "gsmtp": a relay in front of it names another host.
const TMailServiceStruct* ServiceOf(const TSmtpFailureStruct& f) {
  if (const TMailServiceStruct* s = MailServiceOfHost(f.Host)) return s;
  if (f.FromServer && Holds(f.Text, "gsmtp")) return MailServiceOfHost("smtp.gmail.com");
  return nullptr;
}

const char* ReplyHint(const TSmtpFailureStruct& f, int code) {
  if (!f.FromServer) return nullptr;
  const std::string_view status = EnhancedStatus(f.Text);
  const TMailServiceStruct* service = ServiceOf(f);
  for (const THintRow& row : kReplyHints) {
    if (row.Class && *row.Class != f.Class) continue;
    if (row.Code != 0 && row.Code != (row.Code < 10 ? code / 100 : code)) continue;
    if (!row.Status.empty() && row.Status != status) continue;
    if (!row.TextHas.empty() && !Holds(f.Text, row.TextHas)) continue;
    if (row.Service != nullptr && (service == nullptr || std::string_view(service->Name) != row.Service)) continue;
    return row.Hint;
  }
  return nullptr;
}

std::string Join(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) {
    if (!out.empty()) out += ", ";
    out += item;
  }
  return out;
}

std::string Fill(std::string_view pattern, const TSmtpFailureStruct& f) {
  const std::pair<std::string_view, std::string> fields[] = {
      {"{host}", f.Host},
      {"{port}", std::to_string(f.Port)},
      {"{versions}", f.TlsVersions},
      {"{method}", f.AuthMethod},
      {"{mechanisms}", f.Mechanisms.empty() ? std::string(texts::kNoMechanisms) : Join(f.Mechanisms)},
      {"{recipient}", f.Recipient},
      {"{size}", std::to_string(f.MessageSize)},
      {"{limit}", std::to_string(f.SizeLimit)},
  };
  std::string out;
  for (std::size_t i = 0; i < pattern.size();) {
    bool replaced = false;
    if (pattern[i] == '{') {
      for (const auto& [name, value] : fields) {
        if (pattern.substr(i, name.size()) == name) {
          out += value;
          i += name.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += pattern[i++];
  }
  return out;
}

void AppendSentence(std::string& out, std::string_view sentence) {
  if (sentence.empty()) return;
  if (!out.empty()) out += ' ';
  out += sentence;
}

std::string CertificateFacts(const TCertificateFactsStruct& c) {
  return std::string(texts::kCertificate) + texts::kCertSubject + c.Subject + texts::kCertIssuer + c.Issuer +
         texts::kCertValidFrom + UtcTimeText(c.NotBefore) + texts::kCertValidTo + UtcTimeText(c.NotAfter) +
         texts::kCertKey + KeySha256Hex(c.KeySha256) + ".";
}

// Advice that depends on the settings rather than on the server's reply.
const char* SettingsAdvice(const TSmtpFailureStruct& f) {
  const bool implicitTls = f.Security == TSmtpSecurity::ssImplicitTls;
  switch (f.Class) {
    case C::fcConnectTimedOut:
    case C::fcConnectRefused:
      // The old mode sends 465 to 25, which is where blocked ports bite.
      if (f.Security == TSmtpSecurity::ssAuto && f.Port == 25) return texts::kAdviceAuto465;
      break;
    case C::fcNoGreeting:
      if (implicitTls) return texts::kAdviceNoGreetingAfterTls;
      break;
    case C::fcTlsHandshake:
      if (f.Security == TSmtpSecurity::ssAuto) return texts::kAdviceTlsAuto;
      break;
    case C::fcAuthMethodNotOffered:
      if (f.Mechanisms.empty() && f.Security == TSmtpSecurity::ssNone) return texts::kAdviceAuthAfterTls;
      break;
    default: break;
  }
  return nullptr;
}

}  // namespace

std::string UtcTimeText(std::chrono::sys_seconds time) {
  using namespace std::chrono;
  const sys_days day = floor<days>(time);
  const year_month_day ymd(day);
  const hh_mm_ss<seconds> clock(time - day);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u %02d:%02d:%02d UTC", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()));
  return buffer;
}

std::string ExplainSmtpFailure(const TSmtpFailureStruct& f) {
  const auto row = std::find_if(std::begin(kExplanations), std::end(kExplanations),
                                [&](const TExplanationRow& r) { return r.Class == f.Class; });
  if (row == std::end(kExplanations)) return f.Text;

  const char* cause = row->Cause;
  // The sizes are said as far as they are known.
  if (f.Class == C::fcMessageTooLarge && f.SizeLimit == 0)
    cause = f.MessageSize == 0 ? texts::kMessageTooLargeBare : texts::kMessageTooLargeNoLimit;
  // A refused token is no matter of a password: what the provider's service says about
  // it (Microsoft's 5.7.139, 5.7.3), else where the token's mailbox and scope come from.
  const bool tokenRefused = f.Class == C::fcLoginRefused && (f.AuthMethod == "XOAUTH2" || f.AuthMethod == "OAUTHBEARER");
  if (tokenRefused) cause = texts::kTokenRefused;
  std::string out = Fill(row->Step, f) + ": " + Fill(cause, f) + ".";
  if (f.Certificate) AppendSentence(out, CertificateFacts(*f.Certificate));
  if (tokenRefused) {
    const std::string known = oauth::ExplainSmtpOAuthRefusal(f.Text);
    AppendSentence(out, known.empty() ? std::string(texts::kAdviceCheckToken) : known + ".");
    if (!f.AuthDetail.empty()) AppendSentence(out, f.AuthDetail + ".");
    if (!f.Text.empty()) AppendSentence(out, (f.FromServer ? std::string(texts::kServerSaid) : std::string()) + f.Text);
    return out;
  }
  const char* advice = SettingsAdvice(f);
  if (advice == nullptr) advice = ReplyHint(f, f.ReplyCode);
  if (advice == nullptr) advice = row->Advice;
  AppendSentence(out, Fill(advice, f));
  // A login refused by a service of the preset table: that service's own advice too.
  if (f.Class == C::fcLoginRefused)
    if (const TMailServiceStruct* service = ServiceOf(f); service != nullptr && advice == row->Advice)
      AppendSentence(out, std::string(service->Name) + ": " + service->Note + ".");
  if (!f.Text.empty()) AppendSentence(out, (f.FromServer ? std::string(texts::kServerSaid) : std::string()) + f.Text);
  return out;
}

}  // namespace eqd
