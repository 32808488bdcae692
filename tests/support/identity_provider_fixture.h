// The loopback identity provider (identity_provider.py beside this file) as a test object:
// started with its own folder on a free port, stopped with the object. Its test CA is at
// CaFile(); a test trusts it through SSL_CERT_FILE (TTrustedCa).
//
// Needs EQ_TEST_SUPPORT_DIR (this folder) defined by the test target, and nlohmann-json.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/https_client.h"
#include "support/smtp_server_fixture.h"

namespace eqd::test {

struct TIdentityProviderOptions {
  std::vector<std::string> Clients = {"app-id:app-secret"};        // client ID:secret
  std::vector<std::string> RefreshTokens = {"rt-start:person@example.com"};  // token:user
  std::string AppUser = "robot@example.com";  // the mailbox of client-credentials tokens
  bool Rotate = false;  // a refresh answers with a new refresh token and forgets the old one
  int ExpiresIn = 3600;
  int DeviceInterval = 1;
  int DeviceExpiresIn = 600;
};

class TIdentityProviderProcess {
 public:
  explicit TIdentityProviderProcess(const TIdentityProviderOptions& options = {})
      : dir_("eqd-idp-"), process_(Arguments(options)) {
    if (!WaitForFile(dir_.Path() / "port", std::chrono::seconds(60)))
      throw std::runtime_error("the identity provider did not start");
    port_ = std::stoi(ReadFileBytes(dir_.Path() / "port"));
  }

  int Port() const { return port_; }
  std::string Url(const std::string& path) const { return "https://127.0.0.1:" + std::to_string(port_) + path; }
  std::string CaFile() const { return (dir_.Path() / "tls" / "ca.crt").string(); }
  std::string TlsDir() const { return (dir_.Path() / "tls").string(); }
  std::string ServiceAccountKeyFile() const { return (dir_.Path() / "service-account.json").string(); }

  // Every token-endpoint request so far: path, grant_type, client_id, scope, status, error.
  nlohmann::json Requests() const {
    const auto file = dir_.Path() / "requests.json";
    return std::filesystem::exists(file) ? nlohmann::json::parse(ReadFileBytes(file)) : nlohmann::json::array();
  }
  int TokenRequestCount() const { return static_cast<int>(Requests().size()); }

  // A control request ("/control/approve?user_code=C", "/control/codes", ...: see
  // identity_provider.py), over HTTPS with the test CA trusted (TTrustedCa, or the Wine
  // prefix's root store); the provider's answer.
  platform::THttpsResponseStruct Control(const std::string& pathAndQuery) const {
    platform::THttpsRequestStruct request;
    request.Url = Url(pathAndQuery);
    request.Post = true;
    request.ContentType = "application/x-www-form-urlencoded";
    request.Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    return platform::HttpsSend(request);
  }

 private:
  std::vector<std::string> Arguments(const TIdentityProviderOptions& options) const {
    std::vector<std::string> args = {kPython,  SupportScript("identity_provider.py"), "--dir", dir_.Path().string(),
                                     "--app-user", options.AppUser,
                                     "--expires-in", std::to_string(options.ExpiresIn),
                                     "--device-interval", std::to_string(options.DeviceInterval),
                                     "--device-expires-in", std::to_string(options.DeviceExpiresIn)};
    for (const auto& client : options.Clients) args.insert(args.end(), {"--client", client});
    for (const auto& token : options.RefreshTokens) args.insert(args.end(), {"--refresh-token", token});
    if (options.Rotate) args.push_back("--rotate");
    return args;
  }

  TTempDir dir_;
  TChildProcess process_;
  int port_ = 0;
};

// Dovecot's submission service checking tokens against `provider` (dovecot_submission.py
// beside this file; scripts/deps mail), relaying what it accepts into MailDir().
class TDovecotSubmissionProcess {
 public:
  explicit TDovecotSubmissionProcess(const TIdentityProviderProcess& provider)
      : dir_("eqd-dovecot-"),
        process_({kPython, SupportScript("dovecot_submission.py"), "--dir", dir_.Path().string(), "--idp-port",
                  std::to_string(provider.Port()), "--idp-ca", provider.CaFile()}) {
    if (!WaitForFile(dir_.Path() / "port", std::chrono::seconds(60))) throw std::runtime_error("dovecot did not start");
    port_ = std::stoi(ReadFileBytes(dir_.Path() / "port"));
  }

  int Port() const { return port_; }
  std::filesystem::path MailDir() const { return dir_.Path() / "mail"; }
  int MessageCount() const {
    int count = 0;
    while (std::filesystem::exists(MailDir() / (std::to_string(count + 1) + ".json"))) ++count;
    return count;
  }

 private:
  TTempDir dir_;
  TChildProcess process_;
  int port_ = 0;
};

// SSL_CERT_FILE pointed at a CA bundle for the object's life (the HTTPS client and
// OpenSSL read it at each connection), then put back.
class TTrustedCa {
 public:
  explicit TTrustedCa(const std::string& caFile) {
    if (const char* old = std::getenv("SSL_CERT_FILE")) old_ = old, hadOld_ = true;
    setenv("SSL_CERT_FILE", caFile.c_str(), 1);
  }
  ~TTrustedCa() {
    if (hadOld_)
      setenv("SSL_CERT_FILE", old_.c_str(), 1);
    else
      unsetenv("SSL_CERT_FILE");
  }
  TTrustedCa(const TTrustedCa&) = delete;
  TTrustedCa& operator=(const TTrustedCa&) = delete;

 private:
  std::string old_;
  bool hadOld_ = false;
};

}  // namespace eqd::test
