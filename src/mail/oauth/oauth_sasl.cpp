#include "mail/oauth/oauth_sasl.h"

#include <nlohmann/json.hpp>

#include "mail/codecs/base64.h"
#include "mail/oauth/oauth_texts.h"

namespace eqd::oauth {
namespace {

// The server's words go into an error text and the event log: one short line.
std::string Printable(std::string_view text) {
  std::string out;
  for (const char c : text.substr(0, 200)) out += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? ' ' : c;
  return out;
}

}  // namespace

std::string Xoauth2InitialResponse(std::string_view user, std::string_view token) {
  std::string message = "user=";
  message += user;
  message += "\x01" "auth=Bearer ";
  message += token;
  message += "\x01\x01";
  return Base64Encode(message);
}

std::string OAuthBearerInitialResponse(std::string_view user, std::string_view token, std::string_view host, int port) {
  std::string message = "n,a=";
  for (const char c : user) {
    if (c == ',')
      message += "=2C";
    else if (c == '=')
      message += "=3D";
    else
      message += c;
  }
  message += ",\x01";
  if (!host.empty()) message += "host=" + std::string(host) + "\x01";
  if (port > 0) message += "port=" + std::to_string(port) + "\x01";
  message += "auth=Bearer ";
  message += token;
  message += "\x01\x01";
  return Base64Encode(message);
}

TOAuthChallengeStruct ParseOAuthChallenge(std::string_view base64) {
  const nlohmann::json challenge = nlohmann::json::parse(Base64Decode(base64), nullptr, /*allow_exceptions=*/false);
  TOAuthChallengeStruct parsed;
  if (!challenge.is_object()) return parsed;
  const auto text = [&challenge](const char* name) {
    const auto it = challenge.find(name);
    if (it == challenge.end()) return std::string();
    return Printable(it->is_string() ? it->get<std::string>() : it->dump());
  };
  parsed.Status = text("status");
  parsed.Scope = text("scope");
  parsed.Schemes = text("schemes");
  return parsed;
}

std::string ExplainOAuthChallenge(const TOAuthChallengeStruct& challenge) {
  std::string text(texts::kServerRefusedToken);
  std::string details;
  if (!challenge.Status.empty()) details = std::string(texts::kChallengeStatus) + " " + challenge.Status;
  if (!challenge.Scope.empty())
    details += (details.empty() ? "" : ", ") + std::string(texts::kChallengeScope) + " " + challenge.Scope;
  if (!details.empty()) text += " (" + details + ")";
  return text;
}

}  // namespace eqd::oauth
