// A session kept open between sends (FSmtpKeepAlive) against the real server on loopback
// (aiosmtpd with STARTTLS and AUTH LOGIN): the server counts the connections it took and
// the QUITs it got, and keeps every message it accepted, so a message lost or sent twice
// shows in its counts.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include <nlohmann/json.hpp>

#include "automation/errors.h"
#include "mail/event_log.h"
#include "mail/smtp/device_sender.h"
#include "mail/smtp/smtp_texts.h"
#include "support/smtp_server_fixture.h"
#include "support/temp_dir.h"

namespace eqd {
namespace {

using test::TSmtpServerOptions;
using test::TSmtpServerProcess;

// A sender for `server` whose idle time runs only when the test turns the clock.
class TKeepAliveDevice {
 public:
  TKeepAliveDevice(const TSmtpServerProcess& server, std::int32_t keepAlive) {
    device.FSmtpServerName = "localhost";
    device.FSmtpServerPort = server.Port();
    device.FSmtpServerUser = TSmtpServerOptions{}.User;
    device.FSmtpServerPassword = TSmtpServerOptions{}.Password;
    device.FUserEmail = "Магазин <shop@example.test>";
    device.FSmtpKeepAlive = keepAlive;
    device.Clock = [this] { return now; };
  }

  void Send(const std::string& to, int n) {
    device.SendMail(to, "", "", "Чек №" + std::to_string(n), "<p>Спасибо за покупку!</p>", {});
  }
  // The failure's message; empty when the send went through.
  std::string TrySend(const std::string& to, int n) {
    try {
      Send(to, n);
    } catch (const EDriverError& e) {
      return e.Message();
    }
    return {};
  }

  TDevice device;
  TDevice::TClock::time_point now{};
};

class KeepAlive : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("VLM_DODEZOZ41_DATA_DIR", dir_.Path().c_str(), 1);
    SetEventLogMode(kEventLogAll);
  }
  void TearDown() override {
    SetEventLogMode(0);
    unsetenv("VLM_DODEZOZ41_DATA_DIR");
  }
  // Every message the server kept, each once, to the recipients sent.
  static void ExpectMessages(const TSmtpServerProcess& server, int count) {
    EXPECT_EQ(server.MessageCount(), count);
    for (int i = 1; i <= count; ++i) {
      const nlohmann::json envelope = server.Envelope(i);
      EXPECT_EQ(envelope["rcpt_tos"], nlohmann::json::array({"buyer" + std::to_string(i) + "@example.test"}));
      EXPECT_EQ(envelope["auth_user"], TSmtpServerOptions{}.User);
      EXPECT_NE(envelope["tls_version"], nullptr);
    }
  }
  static std::string Buyer(int n) { return "buyer" + std::to_string(n) + "@example.test"; }

  test::TTempDir dir_{"eqd-keep-alive-"};
};

TEST_F(KeepAlive, ReusesTheSessionWithinItsTimeAndQuitsWhenItEnds) {
  struct TCase {
    std::int32_t KeepAlive;
    bool Pipelining;
    int Connections;  // for three messages
    int QuitsAfterSends;
  } cases[] = {
      {0, false, 3, 3},   // as always: a connection and a QUIT a message
      {0, true, 3, 3},
      {30, false, 1, 0},  // one connection, TLS and login for all three
      {30, true, 1, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE("keep-alive " + std::to_string(c.KeepAlive) + (c.Pipelining ? ", PIPELINING" : ""));
    TSmtpServerOptions options;
    options.Pipelining = c.Pipelining;
    TSmtpServerProcess server(options);
    TKeepAliveDevice d(server, c.KeepAlive);
    for (int i = 1; i <= 3; ++i) {
      d.Send(Buyer(i), i);
      d.now += std::chrono::seconds(10);
    }
    ExpectMessages(server, 3);
    EXPECT_EQ(server.ConnectionCount(), c.Connections);
    EXPECT_EQ(server.QuitCount(), c.QuitsAfterSends);
    EXPECT_EQ(d.device.SessionKept(), c.KeepAlive > 0);
    d.device.EndSession();
    EXPECT_FALSE(d.device.SessionKept());
    EXPECT_EQ(server.QuitCount(), c.Connections);
  }
}

TEST_F(KeepAlive, AnIdleSessionPastItsTimeIsEndedWithQuitBeforeTheNextSend) {
  TSmtpServerProcess server;
  TKeepAliveDevice d(server, 5);
  d.Send(Buyer(1), 1);
  d.now += std::chrono::seconds(5);  // just within the time
  d.Send(Buyer(2), 2);
  EXPECT_EQ(server.ConnectionCount(), 1);
  d.now += std::chrono::seconds(6);
  d.Send(Buyer(3), 3);
  ExpectMessages(server, 3);
  EXPECT_EQ(server.ConnectionCount(), 2);
  EXPECT_EQ(server.QuitCount(), 1);
}

TEST_F(KeepAlive, ASessionTheServerClosedIsReplacedAndEachMessageArrivesOnce) {
  // The server ends every connection after a message, as an idle time-out would. Whether
  // the client sees the end before its next send or only when the envelope meets it, the
  // message goes out once on a new connection.
  for (const bool pipelining : {false, true}) {
    SCOPED_TRACE(pipelining ? "PIPELINING" : "no PIPELINING");
    TSmtpServerOptions options;
    options.Pipelining = pipelining;
    options.CloseAfterMessage = true;
    TSmtpServerProcess server(options);
    TKeepAliveDevice d(server, 30);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(d.TrySend(Buyer(i), i), "");
    ExpectMessages(server, 3);
    EXPECT_EQ(server.MailCommandCount(), 3);
    EXPECT_EQ(server.ConnectionCount(), 3);
  }
}

TEST_F(KeepAlive, AFailureInAKeptSessionFailsThatSendOnlyAndEndsTheSession) {
  // The refused recipient was answered after MAIL FROM was accepted: the send fails as it
  // always did, and is not tried again. The next send opens a new session.
  TSmtpServerOptions options;
  options.Pipelining = true;
  TSmtpServerProcess server(options);
  TKeepAliveDevice d(server, 30);
  d.Send(Buyer(1), 1);
  const std::string error = d.TrySend("unknown@example.test", 0);
  EXPECT_NE(error.find("5.1.1 No such user here"), std::string::npos) << error;
  EXPECT_FALSE(d.device.SessionKept());
  EXPECT_EQ(server.MailCommandCount(), 2);
  d.Send(Buyer(2), 2);
  ExpectMessages(server, 2);
  EXPECT_EQ(server.MailCommandCount(), 3);
  EXPECT_EQ(server.ConnectionCount(), 2);
}

}  // namespace
}  // namespace eqd
