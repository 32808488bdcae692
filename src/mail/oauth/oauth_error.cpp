#include "mail/oauth/oauth_error.h"

#include <algorithm>
#include <cctype>
#include <span>

#include "mail/oauth/oauth_texts.h"

namespace eqd::oauth {
namespace {

std::string_view Lookup(std::span<const texts::TCodeTextStruct> table, std::string_view code) {
  const auto entry = std::find_if(table.begin(), table.end(), [code](const auto& e) { return e.Code == code; });
  return entry == table.end() ? std::string_view() : entry->Text;
}

// The provider's own words go into the message and the event log: one line, not too long.
std::string OneShortLine(std::string_view text, std::size_t limit = 300) {
  std::string line;
  for (const char c : text) {
    if (line.size() >= limit) {
      line += "…";
      break;
    }
    line += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? ' ' : c;
  }
  return line;
}

// "AADSTS7000215: Invalid client secret ..." → "AADSTS7000215".
std::string MicrosoftCode(std::string_view description) {
  const std::size_t at = description.find("AADSTS");
  if (at == std::string_view::npos) return {};
  std::size_t end = at + 6;
  while (end < description.size() && std::isdigit(static_cast<unsigned char>(description[end]))) ++end;
  return end > at + 6 ? std::string(description.substr(at, end - at)) : std::string();
}

}  // namespace

std::string ExplainTokenError(int httpStatus, const std::string& code, const std::string& description) {
  std::string message(texts::kTokenRefused);
  const std::string microsoft = MicrosoftCode(description);
  std::string_view meaning = Lookup(texts::kMicrosoftErrors, microsoft);
  if (meaning.empty()) meaning = Lookup(texts::kTokenErrors, code);
  if (!meaning.empty()) message += ": " + std::string(meaning);
  message += " (";
  message += code.empty() ? std::string(texts::kHttpStatus) + " " + std::to_string(httpStatus) : OneShortLine(code, 60);
  if (!microsoft.empty()) message += ", " + microsoft;
  message += ")";
  if (!description.empty()) message += ". " + OneShortLine(description);
  return message;
}

std::string ExplainSmtpOAuthRefusal(const std::string& replyText) {
  for (const auto& refusal : texts::kSmtpRefusals) {
    // The enhanced code stands alone: "5.7.3" must not match inside "5.7.30".
    for (std::size_t at = replyText.find(refusal.Code); at != std::string::npos;
         at = replyText.find(refusal.Code, at + 1)) {
      const std::size_t end = at + refusal.Code.size();
      const bool startsAlone = at == 0 || !std::isdigit(static_cast<unsigned char>(replyText[at - 1]));
      const bool endsAlone = end == replyText.size() || !std::isdigit(static_cast<unsigned char>(replyText[end]));
      if (startsAlone && endsAlone) return std::string(refusal.Text);
    }
  }
  return {};
}

}  // namespace eqd::oauth
