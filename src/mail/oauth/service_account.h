// A service account's key (the JSON file its console hands out) and the signed assertion
// (RFC 7523, RS256) that trades it for a token on behalf of a mailbox.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace eqd::oauth {

struct TServiceAccountKeyStruct {
  std::string ClientEmail;
  std::string PrivateKey;  // PKCS#8 PEM
  std::string TokenUri;    // may be empty
};

// Reads the key's JSON; EOAuthError (in Russian) when it is not a service account key.
TServiceAccountKeyStruct ParseServiceAccountKey(std::string_view json);

// The setting holds the key's JSON itself or the path of a file with it: text that starts
// with "{" is the JSON. EOAuthError when the file cannot be read.
TServiceAccountKeyStruct LoadServiceAccountKey(const std::string& setting);

// The assertion: issued by the service account for `mailbox` ("sub"), for `audience`
// (the token endpoint), with `scope`, valid for an hour from `now`; signed RS256.
std::string ServiceAccountAssertion(const TServiceAccountKeyStruct& key, const std::string& mailbox,
                                    const std::string& scope, const std::string& audience,
                                    std::chrono::system_clock::time_point now);

// Base64 with the URL alphabet and no padding, as JSON Web Tokens use it.
std::string Base64Url(std::string_view data);

}  // namespace eqd::oauth
