// Connection security end to end: the sender against real servers on loopback (aiosmtpd
// with STARTTLS, without it, and with implicit TLS; certificates from a test CA made for
// the run) and the scripted fault server that strips STARTTLS as an attacker would.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "automation/errors.h"
#include "mail/event_log.h"
#include "mail/smtp/device_sender.h"
#include "platform/tcp_socket.h"
#include "support/smtp_server_fixture.h"
#include "support/test_pki.h"

namespace eqd {
namespace {

using std::chrono::milliseconds;
using test::TSmtpServerOptions;
using test::TSmtpServerProcess;
using test::TTestPki;

constexpr const char* kUser = "mailer";
constexpr const char* kPassword = "s3cret-Пароль";

class SecurityServers : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TTempDir("eqd-security-");
    setenv("VLM_DODEZOZ41_DATA_DIR", (dir_->Path() / "data").string().c_str(), 1);
    SetEventLogMode(kEventLogAll);
    pki_ = new TTestPki;
    // OpenSSL's default verify paths honour SSL_CERT_FILE: the test CA is the one root.
    if (const char* old = std::getenv("SSL_CERT_FILE")) savedCertFile_ = old;
    setenv("SSL_CERT_FILE", pki_->CaFile().c_str(), 1);
  }

  static void TearDownTestSuite() {
    SetEventLogMode(kEventLogOff);
    if (savedCertFile_.empty()) unsetenv("SSL_CERT_FILE"); else setenv("SSL_CERT_FILE", savedCertFile_.c_str(), 1);
    delete fault_;
    fault_ = nullptr;
    delete pki_;
    delete dir_;
    unsetenv("VLM_DODEZOZ41_DATA_DIR");
  }

  // A server that presents the test CA's certificate for 127.0.0.1.
  static TSmtpServerOptions Server(const std::string& certificate = "good") {
    TSmtpServerOptions options = pki_->ServerOptions(certificate);
    options.User = kUser;
    options.Password = kPassword;
    return options;
  }

  static TDevice Device(int port, TSmtpSecurity security) {
    TDevice device;
    device.FSmtpServerName = "127.0.0.1";
    device.FSmtpServerPort = port;
    device.FSmtpServerUser = kUser;
    device.FSmtpServerPassword = kPassword;
    device.FUserEmail = "Sender <from@example.test>";
    device.FSecurity.Security = security;
    // A server that never greets is waited for this long, not the product's 30 s.
    device.TimeLimits.Wait = milliseconds(1500);
    return device;
  }

  static std::string Send(TDevice& device) {
    try {
      device.SendMail("to@example.test", "", "", "Subject", "<p>Body</p>", {});
    } catch (const EDriverError& e) {
      return e.what();
    }
    return "";
  }

  // The event log lines added by `action`.
  template <typename TAction>
  static std::string LogOf(TAction&& action) {
    const std::string before = EventLogText();
    action();
    return EventLogText().substr(before.size());
  }

  static std::string EventLogText() {
    std::string text;
    const auto data = dir_->Path() / "data";
    if (!std::filesystem::exists(data)) return text;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(data))
      if (entry.is_regular_file() && entry.path().extension() == ".log") text += test::ReadFileBytes(entry.path());
    return text;
  }

  // The scripted fault server, started once for the tests that need it.
  static int FaultPort(const std::string& scenario) {
    if (fault_ == nullptr) {
      fault_ = new test::TChildProcess({test::kPython, EQ_FAULT_SERVER_SCRIPT, "--port-file", dir_->File("ports"),
                                        "--log-dir", dir_->File("log"), "--cert-dir", dir_->File("cert")});
      EXPECT_TRUE(test::WaitForFile(dir_->File("ports"), std::chrono::seconds(30)));
    }
    return nlohmann::json::parse(test::ReadFileBytes(dir_->File("ports")))[scenario].get<int>();
  }

  // What the client sent to `scenario`, once its connection ended; the log goes then.
  static std::vector<std::string> FaultLog(const std::string& scenario) {
    const std::string path = dir_->File("log/" + scenario + ".log");
    EXPECT_TRUE(test::WaitForFile(path, std::chrono::seconds(10)));
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::filesystem::remove(path);
    return lines;
  }

  static inline test::TTempDir* dir_ = nullptr;
  static inline test::TChildProcess* fault_ = nullptr;
  static inline TTestPki* pki_ = nullptr;
  static inline std::string savedCertFile_;
};

// Every mode against a server that offers STARTTLS, one that does not and one that
// speaks TLS from the first byte: sent with the TLS version the mode allows, or failed
// with the explanation of what the port expects.
TEST_F(SecurityServers, EachModeAgainstEachKindOfServer) {
  TSmtpServerOptions plainOptions = Server();
  plainOptions.StartTls = false;
  TSmtpServerOptions implicitOptions = Server();
  implicitOptions.ImplicitTls = true;
  TSmtpServerProcess starttls(Server());
  TSmtpServerProcess plain(plainOptions);
  TSmtpServerProcess implicit(implicitOptions);
  const std::string noGreeting = "Приветствие SMTP-сервера: сервер не прислал приветствие.";
  const std::string plainOnTlsPort = "выбрана защита «SSL/TLS», а сервер ответил открытым текстом";

  struct TCase {
    const char* name;
    TSmtpServerProcess& server;
    TSmtpSecurity security;
    std::string tlsVersion;  // of the message received; "-": none arrives
    std::string failure;     // a part of the failure's text; empty: sent
  } cases[] = {
      {"Авто, STARTTLS offered: TLS 1.2 at most", starttls, TSmtpSecurity::ssAuto, "TLSv1.2", ""},
      {"Авто, plain server: plain text, as always", plain, TSmtpSecurity::ssAuto, "", ""},
      {"Авто, implicit-TLS port: silence", implicit, TSmtpSecurity::ssAuto, "-", noGreeting},
      {"STARTTLS, offered: TLS 1.3", starttls, TSmtpSecurity::ssStartTls, "TLSv1.3", ""},
      {"STARTTLS, not offered", plain, TSmtpSecurity::ssStartTls, "-",
       "Переход на TLS (STARTTLS): сервер не предлагает STARTTLS, а выбрана обязательная защита «STARTTLS»; "
       "пароль и адреса не отправлены."},
      {"STARTTLS, implicit-TLS port", implicit, TSmtpSecurity::ssStartTls, "-", noGreeting + " Возможно, этот порт "
       "ожидает SSL/TLS с первого байта (как 465): выберите защиту «SSL/TLS»."},
      {"SSL/TLS, a STARTTLS port", starttls, TSmtpSecurity::ssImplicitTls, "-", plainOnTlsPort},
      {"SSL/TLS, a plain port", plain, TSmtpSecurity::ssImplicitTls, "-", plainOnTlsPort},
      {"SSL/TLS, implicit-TLS port: TLS 1.3", implicit, TSmtpSecurity::ssImplicitTls, "TLSv1.3", ""},
      {"Без шифрования, a server that insists on STARTTLS", starttls, TSmtpSecurity::ssNone, "-",
       "Сервер требует сначала включить шифрование: выберите защиту «STARTTLS» или «SSL/TLS»."},
      {"Без шифрования, plain server", plain, TSmtpSecurity::ssNone, "", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    const int before = c.server.MessageCount();
    TDevice device = Device(c.server.Port(), c.security);
    const std::string message = Send(device);
    if (c.failure.empty()) {
      ASSERT_EQ(message, "");
      const nlohmann::json envelope = c.server.Envelope(before + 1);
      EXPECT_EQ(envelope["tls_version"], c.tlsVersion.empty() ? nlohmann::json() : nlohmann::json(c.tlsVersion));
      EXPECT_EQ(envelope["auth_user"], kUser);
    } else {
      EXPECT_NE(message.find(c.failure), std::string::npos) << message;
      EXPECT_EQ(c.server.MessageCount(), before);
    }
  }
}

// An attacker who removes STARTTLS from the server's reply gets nothing in the explicit
// mode: the sender stops after EHLO. In "Авто" the old dialogue goes on in clear text,
// and the event log says so.
TEST_F(SecurityServers, StrippedStartTlsGetsNoCredentialInTheExplicitModes) {
  const int port = FaultPort("strip_starttls");
  const auto serverLog = [&] { return FaultLog("strip_starttls"); };
  const std::string ehlo = "EHLO " + platform::LocalHostName();

  for (const TSmtpSecurity security : {TSmtpSecurity::ssStartTls, TSmtpSecurity::ssImplicitTls}) {
    TDevice device = Device(port, security);
    device.FSecurity.AuthMethod = TSmtpAuthMethod::amLogin;
    EXPECT_NE(Send(device), "");
    const std::vector<std::string> received = serverLog();
    for (const std::string& line : received) {
      EXPECT_EQ(line.find("AUTH"), std::string::npos) << line;
      EXPECT_EQ(line.find("MAIL FROM"), std::string::npos) << line;
    }
    if (security == TSmtpSecurity::ssStartTls) {
      EXPECT_EQ(received, std::vector<std::string>{ehlo});
    }
  }

  TDevice device = Device(port, TSmtpSecurity::ssAuto);
  std::string message;
  const std::string log = LogOf([&] { message = Send(device); });
  EXPECT_EQ(message, "");
  const std::vector<std::string> received = serverLog();
  ASSERT_GE(received.size(), 4u);
  EXPECT_EQ(received[1], "AUTH LOGIN");
  const std::string warn =
      "\tWARN\tTDevice: \tИмя пользователя и пароль переданы SMTP-серверу без шифрования. Чтобы их нельзя было "
      "перехватить, выберите защиту «STARTTLS» или «SSL/TLS»\r\n";
  std::size_t count = 0;
  for (std::size_t at = log.find(warn); at != std::string::npos; at = log.find(warn, at + 1)) ++count;
  EXPECT_EQ(count, 1u) << log;
}

TEST_F(SecurityServers, TlsWhereTheGreetingShouldBeNamesThePortsWay) {
  TDevice device = Device(FaultPort("tls_alert_greeting"), TSmtpSecurity::ssStartTls);
  const std::string message = Send(device);
  EXPECT_EQ(message.rfind("Подключение к 127.0.0.1:" + std::to_string(FaultPort("tls_alert_greeting")) +
                              ": сервер ответил по TLS, а соединение начато открытым текстом: этот порт ожидает "
                              "SSL/TLS с первого байта. Выберите защиту «SSL/TLS» для этого порта.",
                          0),
            0u)
      << message;
}

// The certificate check with a root the test trusts: a good chain passes and says so; a
// certificate from nowhere, for another name, expired or not yet valid fails with what
// it is; a pin lets a self-signed certificate through, and a wrong pin stops even an
// unchecked connection.
TEST_F(SecurityServers, CertificatesAreCheckedAndPinned) {
  struct TCase {
    const char* certificate;
    bool verify;
    const char* pinOf;    // the pin is this certificate's key; nullptr: no pin
    std::string failure;  // the start of the failure's text; empty: sent
  } cases[] = {
      {"good", true, nullptr, ""},
      {"self_signed", true, nullptr,
       "Проверка сертификата 127.0.0.1: сертификат выдан центром сертификации, которому система не доверяет, или "
       "самоподписан."},
      {"wrong_name", true, nullptr, "Проверка сертификата 127.0.0.1: сертификат выдан не на имя 127.0.0.1."},
      {"expired", true, nullptr, "Проверка сертификата 127.0.0.1: срок действия сертификата истёк."},
      {"not_yet_valid", true, nullptr, "Проверка сертификата 127.0.0.1: срок действия сертификата ещё не начался."},
      {"self_signed", false, "self_signed", ""},
      {"self_signed", true, "self_signed", ""},  // the pin is enough
      {"good", false, "self_signed",
       "Проверка сертификата 127.0.0.1: открытый ключ сервера не совпадает с отпечатком из настройки "
       "«Отпечаток ключа»."},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.certificate) + (c.verify ? ", verified" : "") + (c.pinOf ? ", pinned" : ""));
    TSmtpServerOptions options = Server(c.certificate);
    options.ImplicitTls = true;
    TSmtpServerProcess server(options);
    TDevice device = Device(server.Port(), TSmtpSecurity::ssImplicitTls);
    device.FSecurity.VerifyCertificate = c.verify;
    if (c.pinOf != nullptr) device.FSecurity.PinnedKey = ParseCertificatePin(pki_->KeySha256(c.pinOf));
    std::string message;
    TConnectionReportStruct report;
    try {
      report = device.TestConnection();
    } catch (const EDriverError& e) {
      message = e.what();
    }
    if (c.failure.empty()) {
      ASSERT_EQ(message, "");
      EXPECT_EQ(report.Check, c.pinOf   ? TCertificateCheck::ccPinned
                              : c.verify ? TCertificateCheck::ccVerified
                                         : TCertificateCheck::ccNone);
      EXPECT_EQ(KeySha256Hex(report.KeySha256), pki_->KeySha256(c.certificate));
      EXPECT_EQ(report.Subject, pki_->Subject(c.certificate));
      EXPECT_EQ(report.TlsVersion, "TLS 1.3");
      EXPECT_EQ(report.AuthMethod, "LOGIN");
      EXPECT_EQ(Send(device), "");
    } else {
      EXPECT_EQ(message.rfind(c.failure, 0), 0u) << message;
      // What the certificate is, so the user can trust or pin it.
      EXPECT_NE(message.find("субъект \"" + pki_->Subject(c.certificate) + "\""), std::string::npos) << message;
      EXPECT_NE(message.find("SHA-256 открытого ключа (SPKI): " + pki_->KeySha256(c.certificate)), std::string::npos)
          << message;
      EXPECT_EQ(server.MessageCount(), 0);
    }
  }
}

// PLAIN and LOGIN carry a password outside ASCII as UTF-8; an explicit method the server
// does not offer fails with the ones it does, before any credential is sent.
TEST_F(SecurityServers, PlainAndLoginWithANonAsciiPassword) {
  struct TCase {
    TSmtpAuthMethod method;
    std::string offered;
    std::string used;     // empty: the send fails
    std::string failure;
  } cases[] = {
      {TSmtpAuthMethod::amPlain, "LOGIN,PLAIN", "PLAIN", ""},
      {TSmtpAuthMethod::amLogin, "LOGIN,PLAIN", "LOGIN", ""},
      {TSmtpAuthMethod::amAuto, "LOGIN,PLAIN", "LOGIN", ""},
      {TSmtpAuthMethod::amPlain, "LOGIN", "",
       "Авторизация PLAIN: сервер не предлагает этот способ авторизации; предлагает: LOGIN. Выберите в настройке "
       "«Авторизация» один из предложенных."},
      {TSmtpAuthMethod::amLogin, "PLAIN", "",
       "Авторизация LOGIN: сервер не предлагает этот способ авторизации; предлагает: PLAIN. Выберите в настройке "
       "«Авторизация» один из предложенных."},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.offered + " → " + SmtpAuthMethodInfo(c.method).Text);
    TSmtpServerOptions options = Server();
    options.AuthMechanisms = c.offered;
    TSmtpServerProcess server(options);
    TDevice device = Device(server.Port(), TSmtpSecurity::ssStartTls);
    device.FSecurity.AuthMethod = c.method;
    const std::string message = Send(device);
    EXPECT_EQ(message, c.failure);
    if (c.used.empty()) {
      EXPECT_EQ(server.MessageCount(), 0);
    } else {
      ASSERT_EQ(server.MessageCount(), 1);
      EXPECT_EQ(server.Envelope(1)["auth_mechanism"], c.used);
      EXPECT_EQ(server.Envelope(1)["auth_user"], kUser);  // the server checked the password too
    }
  }
}

TEST(SecurityPorts, OnlyTheOldModeMoves465To25) {
  for (const auto& [security, port] : std::vector<std::pair<TSmtpSecurity, std::uint16_t>>{
           {TSmtpSecurity::ssAuto, 25},
           {TSmtpSecurity::ssStartTls, 465},
           {TSmtpSecurity::ssImplicitTls, 465},
           {TSmtpSecurity::ssNone, 465}}) {
    TDevice device;
    device.FSmtpServerPort = 465;
    device.FSecurity.Security = security;
    EXPECT_EQ(device.ConnectPort(), port) << SmtpSecurityText(security);
  }
}

}  // namespace
}  // namespace eqd
