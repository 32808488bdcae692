#include "mail/security/connection_security.h"

#include <algorithm>
#include <cstdio>

#include "automation/ascii_case.h"
#include "automation/errors.h"
#include "mail/security/security_texts.h"

namespace eqd {
namespace {

constexpr TSmtpSecurityOption kSecurityOptions[] = {
    {TSmtpSecurity::ssAuto, security_texts::kAuto},
    {TSmtpSecurity::ssStartTls, "STARTTLS"},
    {TSmtpSecurity::ssImplicitTls, "SSL/TLS"},
    {TSmtpSecurity::ssNone, security_texts::kNoEncryption},
};

using sasl::TSaslMechanismId;
constexpr TSaslMechanismId kLogin[] = {TSaslMechanismId::smLogin};
constexpr TSaslMechanismId kPlain[] = {TSaslMechanismId::smPlain};
constexpr TSaslMechanismId kOAuth[] = {TSaslMechanismId::smXoauth2, TSaslMechanismId::smOAuthBearer};

// "Авто" is what the driver always did: LOGIN when announced, else no login at all.
constexpr TSmtpAuthMethodOption kAuthMethods[] = {
    {TSmtpAuthMethod::amAuto, security_texts::kAuto, true, true, sasl::kDefaultSaslMechanisms, false},
    {TSmtpAuthMethod::amLogin, "LOGIN", true, true, kLogin, true},
    {TSmtpAuthMethod::amPlain, "PLAIN", true, true, kPlain, true},
    {TSmtpAuthMethod::amNone, security_texts::kNoAuthentication, false, false, {}, false},
    // The mailbox is SmtpServerUser or else the address of UserEmail; the OAuth settings
    // are checked on their own. XOAUTH2 first, OAUTHBEARER where only that is announced.
    {TSmtpAuthMethod::amOAuth2, "OAuth 2.0", false, false, kOAuth, true},
};

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

template <typename TOption>
auto FromText(std::span<const TOption> options, std::string_view text) -> std::optional<decltype(TOption::Value)> {
  text = Trimmed(text);
  if (text.empty()) return options.front().Value;
  for (const TOption& option : options)
    if (AsciiSameText(text, option.Text)) return option.Value;
  return std::nullopt;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int Base64Digit(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+' || c == '-') return 62;  // the URL-safe alphabet too
  if (c == '/' || c == '_') return 63;
  return -1;
}

std::optional<TKeySha256> FromHex(std::string_view text) {
  std::string digits;
  for (const char c : text) {
    if (c == ':' || c == ' ' || c == '\t') continue;
    if (HexDigit(c) < 0) return std::nullopt;
    digits.push_back(c);
  }
  if (digits.size() != 64) return std::nullopt;
  TKeySha256 key{};
  for (std::size_t i = 0; i < key.size(); ++i)
    key[i] = static_cast<std::uint8_t>(HexDigit(digits[2 * i]) * 16 + HexDigit(digits[2 * i + 1]));
  return key;
}

// 32 bytes are 43 sextets and two bits, so the text is 43 characters and one '=' of
// padding; the padding may be left out, the two spare bits must be zero.
std::optional<TKeySha256> FromBase64(std::string_view text) {
  if (text.size() >= 8 && AsciiSameText(text.substr(0, 8), "sha256//")) text.remove_prefix(8);
  if (!text.empty() && text.back() == '=') text.remove_suffix(1);
  if (text.size() != 43) return std::nullopt;
  TKeySha256 key{};
  unsigned accumulator = 0;
  int bits = 0;
  std::size_t out = 0;
  for (const char c : text) {
    const int d = Base64Digit(c);
    if (d < 0) return std::nullopt;
    accumulator = (accumulator << 6) | static_cast<unsigned>(d);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      key[out++] = static_cast<std::uint8_t>(accumulator >> bits);
      accumulator &= (1u << bits) - 1;
    }
  }
  if (accumulator != 0) return std::nullopt;
  return key;
}

}  // namespace

std::span<const TSmtpSecurityOption> SmtpSecurityOptions() { return kSecurityOptions; }
std::span<const TSmtpAuthMethodOption> SmtpAuthMethods() { return kAuthMethods; }

std::optional<TSmtpSecurity> SmtpSecurityFromText(std::string_view text) {
  return FromText(SmtpSecurityOptions(), text);
}

std::optional<TSmtpAuthMethod> SmtpAuthMethodFromText(std::string_view text) {
  return FromText(SmtpAuthMethods(), text);
}

const char* SmtpSecurityText(TSmtpSecurity value) {
  for (const TSmtpSecurityOption& option : kSecurityOptions)
    if (option.Value == value) return option.Text;
  return kSecurityOptions[0].Text;
}

const TSmtpAuthMethodOption& SmtpAuthMethodInfo(TSmtpAuthMethod value) {
  for (const TSmtpAuthMethodOption& option : kAuthMethods)
    if (option.Value == value) return option;
  return kAuthMethods[0];
}

std::optional<TKeySha256> ParseCertificatePin(std::string_view text) {
  text = Trimmed(text);
  if (text.empty()) return std::nullopt;
  if (auto key = FromHex(text)) return key;
  if (auto key = FromBase64(text)) return key;
  throw EDriverError(security_texts::kBadPin);
}

std::string KeySha256Hex(const TKeySha256& key) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(64);
  for (const std::uint8_t b : key) {
    hex.push_back(kDigits[b >> 4]);
    hex.push_back(kDigits[b & 15]);
  }
  return hex;
}

}  // namespace eqd
