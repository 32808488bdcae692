// The connection and its transactions over the real network stack (TCP, STARTTLS through
// the system's TLS) against the real server on loopback: a login by PLAIN, asked for, and
// two messages on one connection.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include <nlohmann/json.hpp>

#include "mail/smtp/smtp_connection.h"
#include "mail/smtp/smtp_transaction.h"
#include "net/tcp_connection.h"
#include "support/smtp_server_fixture.h"

namespace eqd::smtp {
namespace {

TEST(SmtpConnectionOverTheNetwork, LogsInWithPlainAndSendsTwoMessagesOnOneConnection) {
  test::TSmtpServerProcess server;
  const test::TSmtpServerOptions options;
  net::TTcpConnection tcp("localhost", static_cast<std::uint16_t>(server.Port()),
                          platform::DeadlineAfter(std::chrono::seconds(30)));
  TSmtpConnection connection(tcp, [](net::TByteStream& plain) {
    net::TTlsPolicyStruct policy;
    policy.ServerName = "localhost";
    return net::CreateTlsLayer(plain, policy);
  });
  connection.Open("client.test");
  ASSERT_TRUE(connection.TlsActive());
  const sasl::TSaslMechanismId plain[] = {sasl::TSaslMechanismId::smPlain};
  connection.Authenticate({options.User, options.Password}, plain);
  for (const char* to : {"first@example.test", "second@example.test"}) {
    TSmtpTransaction(connection).Send({"robot@example.test", {to}, {}}, [&](TDataSink& out) {
      out.Write(std::string("Subject: to ") + to + "\r\n\r\n.a line with a dot\r\n");
    });
  }
  connection.Quit();

  for (int n : {1, 2}) {
    server.WaitForMessage(n);
    const nlohmann::json envelope = server.Envelope(n);
    EXPECT_EQ(envelope["auth_user"], options.User);
    EXPECT_EQ(envelope["sni"], "localhost");
    EXPECT_EQ(envelope["rcpt_tos"][0], n == 1 ? "first@example.test" : "second@example.test");
  }
}

}  // namespace
}  // namespace eqd::smtp
