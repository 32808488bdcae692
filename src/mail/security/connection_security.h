// How the SMTP connection is protected and how the driver logs in: the values of the
// settings SmtpSecurity, SmtpAuthMethod, SmtpVerifyCertificate and SmtpCertificatePin,
// read from their texts. The settings are stored as fixed texts, the same words the
// settings window shows, so that a host's settings list reads them as they are meant.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "mail/sasl/sasl_selector.h"

namespace eqd {

enum class TSmtpSecurity : std::uint8_t {
  ssAuto,         // STARTTLS when offered, else plain text; port 465 goes to 25
  ssStartTls,     // STARTTLS required before anything else is said
  ssImplicitTls,  // TLS from the first byte, on the port as given
  ssNone,         // never STARTTLS
};

// A new way of logging in is one more member here and one more row in SmtpAuthMethods().
enum class TSmtpAuthMethod : std::uint8_t {
  amAuto,   // LOGIN when the server announces it, else no AUTH
  amLogin,  // LOGIN, required
  amPlain,  // PLAIN (RFC 4616), required
  amNone,   // never AUTH
  amOAuth2, // XOAUTH2 (OAUTHBEARER where only that is announced) with a token of the OAuth* settings
};

using TKeySha256 = std::array<std::uint8_t, 32>;

struct TSmtpSecurityStruct {
  TSmtpSecurity Security = TSmtpSecurity::ssAuto;
  TSmtpAuthMethod AuthMethod = TSmtpAuthMethod::amAuto;
  bool VerifyCertificate = false;
  // SHA-256 of the server certificate's SubjectPublicKeyInfo; when set it must match,
  // with or without VerifyCertificate, and a match is enough.
  std::optional<TKeySha256> PinnedKey;
};

struct TSmtpSecurityOption {
  TSmtpSecurity Value;
  const char* Text;  // the stored text and the drop-down's item
};

struct TSmtpAuthMethodOption {
  TSmtpAuthMethod Value;
  const char* Text;
  bool NeedsUser;      // Enable refuses an empty SmtpServerUser
  bool NeedsPassword;  // Enable refuses an empty SmtpServerPassword
  // The mechanisms tried, in order of preference, among those the server announces;
  // none: no login. When Required, a server that announces none of them fails the send.
  std::span<const sasl::TSaslMechanismId> Mechanisms;
  bool Required;
};

// In the order the settings window lists them; the first is the default.
std::span<const TSmtpSecurityOption> SmtpSecurityOptions();
std::span<const TSmtpAuthMethodOption> SmtpAuthMethods();

// The value of a stored text: surrounding blanks ignored, Latin letters in any case,
// the empty text taken as the default. None for any other text.
std::optional<TSmtpSecurity> SmtpSecurityFromText(std::string_view text);
std::optional<TSmtpAuthMethod> SmtpAuthMethodFromText(std::string_view text);
const char* SmtpSecurityText(TSmtpSecurity value);
const TSmtpAuthMethodOption& SmtpAuthMethodInfo(TSmtpAuthMethod value);

// A pin as people copy it: 64 hex digits (pairs may be separated by ':' or blanks, as
// certificate viewers show them) or 44 characters of Base64 (as HPKP and curl write it,
// with an optional "sha256//" in front). Empty text: no pin. Raises EDriverError with a
// text saying what a pin looks like for anything else.
std::optional<TKeySha256> ParseCertificatePin(std::string_view text);
// 64 lower-case hex digits, the form the driver shows.
std::string KeySha256Hex(const TKeySha256& key);

}  // namespace eqd
