// A test certificate authority with server certificates for loopback (test_pki.py beside
// this file, Python's cryptography), made in a folder of its own for one test run.
//
// Needs EQ_TEST_SUPPORT_DIR (this folder) defined by the test target, and nlohmann-json.
#pragma once

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "support/smtp_server_fixture.h"

namespace eqd::test {

class TTestPki {
 public:
  TTestPki() : dir_("eqd-test-pki-") {
    RunAndCapture(std::string(kPython) + " " + ShellQuote(SupportScript("test_pki.py")) + " " +
                  ShellQuote(dir_.Path().string()));
    info_ = nlohmann::json::parse(ReadFileBytes(dir_.Path() / "pki.json"));
  }

  // The root to trust: PEM, or DER for a Windows store.
  std::string CaFile() const { return (dir_.Path() / "ca.crt").string(); }
  std::string CaDerFile() const { return (dir_.Path() / "ca.der").string(); }
  // The CA's SHA-1 thumbprint in upper-case hex, its name in a Windows store.
  std::string CaThumbprint() const { return info_.at("ca_sha1").get<std::string>(); }

  // For each of "good", "wrong_name", "expired", "not_yet_valid", "self_signed": the chain
  // a server sends, its key, and the SHA-256 of its public key in hex.
  std::string Chain(const std::string& name) const { return (dir_.Path() / (name + ".pem")).string(); }
  std::string Key(const std::string& name) const { return (dir_.Path() / (name + ".key")).string(); }
  std::string KeySha256(const std::string& name) const {
    return info_.at(name).at("spki_sha256").get<std::string>();
  }
  std::string Subject(const std::string& name) const { return info_.at(name).at("subject").get<std::string>(); }

  // Options of a loopback server that presents certificate `name`.
  TSmtpServerOptions ServerOptions(const std::string& name, TSmtpServerOptions options = {}) const {
    options.CertChain = Chain(name);
    options.CertKey = Key(name);
    return options;
  }

 private:
  TTempDir dir_;
  nlohmann::json info_;
};

}  // namespace eqd::test
