// The lines of the SASL mechanisms that carry an OAuth 2.0 bearer token: XOAUTH2 and
// OAUTHBEARER (RFC 7628). Each is one initial response; a server that refuses the token
// sends one challenge with a JSON error, which the client answers with a dummy line
// before the server ends the exchange with its refusal.
#pragma once

#include <string>
#include <string_view>

namespace eqd::oauth {

// Base64 of "user=<user>^Aauth=Bearer <token>^A^A".
std::string Xoauth2InitialResponse(std::string_view user, std::string_view token);

// Base64 of the GS2 header "n,a=<user>," and "^Ahost=<host>^Aport=<port>^Aauth=Bearer
// <token>^A^A"; "," and "=" in the user are escaped as "=2C" and "=3D". The optional host
// and port pairs are left out when empty (0).
std::string OAuthBearerInitialResponse(std::string_view user, std::string_view token, std::string_view host, int port);

// The answers to the error challenge: XOAUTH2 takes an empty line, OAUTHBEARER the single
// byte 0x01 ("AQ==").
inline constexpr std::string_view kXoauth2ErrorAnswer = "";
inline constexpr std::string_view kOAuthBearerErrorAnswer = "AQ==";

// What the error challenge says: {"status":"401","schemes":"bearer","scope":"..."}.
struct TOAuthChallengeStruct {
  std::string Status;
  std::string Scope;
  std::string Schemes;
};

// Reads a challenge (the Base64 text after "334 "); fields the challenge lacks, or a
// challenge that is not JSON, stay empty.
TOAuthChallengeStruct ParseOAuthChallenge(std::string_view base64);

// "Сервер SMTP отклонил токен OAuth 2.0 (статус 401, требуемая область доступа ...)",
// with whatever the challenge said.
std::string ExplainOAuthChallenge(const TOAuthChallengeStruct& challenge);

}  // namespace eqd::oauth
