// The real SMTP server on loopback (smtp_server.py beside this file, aiosmtpd) as a test
// object: started with its own folders on a free port, stopped with the object. Also the
// reader of saved messages (mail_summary.py, Python's standard e-mail parser).
//
// Needs EQ_TEST_SUPPORT_DIR (this folder) defined by the test target, and nlohmann-json.
#pragma once

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/child_process.h"
#include "support/temp_dir.h"

#ifndef EQ_TEST_SUPPORT_DIR
#error "EQ_TEST_SUPPORT_DIR must name tests/support"
#endif

namespace eqd::test {

inline std::string SupportScript(const std::string& name) { return std::string(EQ_TEST_SUPPORT_DIR) + "/" + name; }

// Waits for a file another process writes; false when it did not appear in time.
inline bool WaitForFile(const std::filesystem::path& path, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!std::filesystem::exists(path)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

struct TSmtpServerOptions {
  std::string User = "mailer";       // empty: no authentication
  std::string Password = "s3cret-Пароль";
  int RefuseFirst = 0;               // messages answered 451 after their final dot
  bool StartTls = true;
  bool Pipelining = false;           // PIPELINING announced
  int SizeLimit = -1;                // SIZE announced with this limit; -1: SIZE not announced
  bool SmtpUtf8 = false;             // SMTPUTF8 announced and accepted
  bool CloseAfterMessage = false;    // each connection closed by the server once a message is taken
  bool ImplicitTls = false;          // TLS from the first byte instead of STARTTLS
  std::string CertChain;             // PEM chain to send (test_pki.h); empty: a self-signed one
  std::string CertKey;
  std::string TlsMax;                // "1.2": nothing newer; empty: what Python allows
  std::string AuthMechanisms;        // "LOGIN", "PLAIN", "LOGIN,PLAIN"; empty: all
};

class TSmtpServerProcess {
 public:
  explicit TSmtpServerProcess(const TSmtpServerOptions& options = {})
      : dir_("eqd-smtp-server-"), process_(Arguments(options)) {
    const auto portFile = dir_.Path() / "port";
    if (!WaitForFile(portFile, std::chrono::seconds(30))) throw std::runtime_error("the SMTP server did not start");
    port_ = std::stoi(ReadFileBytes(portFile));
  }

  int Port() const { return port_; }
  std::filesystem::path MailDir() const { return dir_.Path() / "mail"; }

  // Waits until message `n` (from 1) is saved and returns its .eml file.
  std::filesystem::path WaitForMessage(int n, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const {
    const auto info = MailDir() / (std::to_string(n) + ".json");
    if (!WaitForFile(info, timeout)) throw std::runtime_error("message " + std::to_string(n) + " did not arrive");
    return MailDir() / (std::to_string(n) + ".eml");
  }

  // The envelope of message `n`: mail_from, mail_options (the parameters after MAIL
  // FROM's address), rcpt_tos, tls_version, sni, auth_user, auth_mechanism, helo.
  nlohmann::json Envelope(int n) const {
    return nlohmann::json::parse(ReadFileBytes(MailDir() / (std::to_string(n) + ".json")));
  }

  // How many MAIL FROM commands the server accepted, over all connections.
  int MailCommandCount() const { return Counter("mail_commands"); }
  // Connections taken, counted before the greeting goes out.
  int ConnectionCount() const { return Counter("connections"); }
  // QUIT commands received, counted before their reply goes out.
  int QuitCount() const { return Counter("quits"); }

  int MessageCount() const {
    int count = 0;
    while (std::filesystem::exists(MailDir() / (std::to_string(count + 1) + ".json"))) ++count;
    return count;
  }

 private:
  int Counter(const char* name) const {
    const auto path = MailDir() / name;
    return std::filesystem::exists(path) ? std::stoi(ReadFileBytes(path)) : 0;
  }

  std::vector<std::string> Arguments(const TSmtpServerOptions& options) const {
    std::vector<std::string> args = {kPython,
                                     SupportScript("smtp_server.py"),
                                     "--port-file",
                                     (dir_.Path() / "port").string(),
                                     "--maildir",
                                     MailDir().string(),
                                     "--cert-dir",
                                     (dir_.Path() / "cert").string()};
    if (!options.User.empty()) args.insert(args.end(), {"--user", options.User, "--password", options.Password});
    if (options.RefuseFirst > 0) args.insert(args.end(), {"--refuse-first", std::to_string(options.RefuseFirst)});
    if (!options.StartTls) args.push_back("--no-starttls");
    if (options.Pipelining) args.push_back("--pipelining");
    if (options.SizeLimit >= 0) args.insert(args.end(), {"--size-limit", std::to_string(options.SizeLimit)});
    if (options.SmtpUtf8) args.push_back("--smtputf8");
    if (options.CloseAfterMessage) args.push_back("--close-after-message");
    if (options.ImplicitTls) args.push_back("--implicit-tls");
    if (!options.CertChain.empty())
      args.insert(args.end(), {"--cert-chain", options.CertChain, "--cert-key", options.CertKey});
    if (!options.TlsMax.empty()) args.insert(args.end(), {"--tls-max", options.TlsMax});
    if (!options.AuthMechanisms.empty()) args.insert(args.end(), {"--auth-mechanisms", options.AuthMechanisms});
    return args;
  }

  TTempDir dir_;
  TChildProcess process_;
  int port_ = 0;
};

// What Python's e-mail parser makes of a saved message (see mail_summary.py); the
// attachments' decoded bytes go to files under `extractDir`.
inline nlohmann::json SummarizeMessage(const std::filesystem::path& eml, const std::filesystem::path& extractDir) {
  const std::string output = RunAndCapture(std::string(kPython) + " " + ShellQuote(SupportScript("mail_summary.py")) +
                                           " " + ShellQuote(eml.string()) + " --extract-dir " +
                                           ShellQuote(extractDir.string()));
  return nlohmann::json::parse(output);
}

}  // namespace eqd::test
