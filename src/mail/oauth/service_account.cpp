#include "mail/oauth/service_account.h"

#include <nlohmann/json.hpp>

#include "mail/codecs/base64.h"
#include "mail/oauth/oauth_error.h"
#include "mail/oauth/oauth_texts.h"
#include "platform/read_only_file.h"
#include "platform/rsa_signature.h"

namespace eqd::oauth {
namespace {

// A key file is a few kilobytes; a setting that names something much larger is wrong.
constexpr std::size_t kMaxKeyFile = 64 * 1024;

std::string ReadKeyFile(const std::string& path) {
  std::string text;
  try {
    platform::TReadOnlyFile file(path);
    char buffer[4096];
    for (std::size_t n; (n = file.Read(buffer, sizeof buffer)) > 0;) {
      text.append(buffer, n);
      if (text.size() > kMaxKeyFile) throw EOAuthError(std::string(texts::kServiceAccountKeyNotKey) + path);
    }
  } catch (const EOAuthError&) {
    throw;
  } catch (const std::exception& e) {
    throw EOAuthError(std::string(texts::kServiceAccountKeyUnreadable) + path + ": " + e.what());
  }
  return text;
}

}  // namespace

std::string Base64Url(std::string_view data) {
  std::string text = Base64Encode(data);
  while (!text.empty() && text.back() == '=') text.pop_back();
  for (char& c : text) c = c == '+' ? '-' : c == '/' ? '_' : c;
  return text;
}

TServiceAccountKeyStruct ParseServiceAccountKey(std::string_view json) {
  const nlohmann::json key = nlohmann::json::parse(json, nullptr, /*allow_exceptions=*/false);
  const auto text = [&key](const char* name) {
    const auto it = key.is_object() ? key.find(name) : key.end();
    return key.is_object() && it != key.end() && it->is_string() ? it->get<std::string>() : std::string();
  };
  TServiceAccountKeyStruct parsed{text("client_email"), text("private_key"), text("token_uri")};
  if (parsed.ClientEmail.empty() || parsed.PrivateKey.empty())
    throw EOAuthError(std::string(texts::kServiceAccountKeyNotKey));
  return parsed;
}

TServiceAccountKeyStruct LoadServiceAccountKey(const std::string& setting) {
  const std::size_t first = setting.find_first_not_of(" \t\r\n");
  if (first != std::string::npos && setting[first] == '{') return ParseServiceAccountKey(setting);
  return ParseServiceAccountKey(ReadKeyFile(setting));
}

std::string ServiceAccountAssertion(const TServiceAccountKeyStruct& key, const std::string& mailbox,
                                    const std::string& scope, const std::string& audience,
                                    std::chrono::system_clock::time_point now) {
  const long long issued = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
  const nlohmann::json header = {{"alg", "RS256"}, {"typ", "JWT"}};
  const nlohmann::json claims = {{"iss", key.ClientEmail}, {"sub", mailbox},          {"scope", scope},
                                 {"aud", audience},        {"iat", issued},           {"exp", issued + 3600}};
  const std::string signedPart = Base64Url(header.dump()) + "." + Base64Url(claims.dump());
  try {
    return signedPart + "." + Base64Url(platform::SignRs256(key.PrivateKey, signedPart));
  } catch (const platform::ESignatureError& e) {
    throw EOAuthError(std::string(texts::kServiceAccountKeyUnusable) + e.what());
  }
}

}  // namespace eqd::oauth
