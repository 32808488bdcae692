// The TCP connection's failures, each told as its kind and step, against loopback sockets
// of the test's own.
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "net/net_error.h"
#include "net/tcp_connection.h"

namespace eqd::net {
namespace {

using std::chrono::milliseconds;

// A loopback socket bound to a port of its own; listening when asked, with a queue of
// `backlog`.
class TLoopbackPort {
 public:
  explicit TLoopbackPort(std::optional<int> backlog) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size);
    port_ = ntohs(a.sin_port);
    if (backlog) ::listen(fd_, *backlog);
  }
  ~TLoopbackPort() {
    for (const int fd : accepted_) ::close(fd);
    ::close(fd_);
  }
  std::uint16_t Port() const { return port_; }
  int Accept() { return accepted_.emplace_back(::accept(fd_, nullptr, nullptr)); }

 private:
  int fd_ = -1;
  std::uint16_t port_ = 0;
  std::vector<int> accepted_;
};

TDeadline After(milliseconds limit) { return platform::DeadlineAfter(limit); }

struct TConnectCase {
  std::string What;
  std::string Host;
  std::optional<int> Backlog;  // none: nothing listens
  int Fillers;                 // connections that fill the queue first
  TNetErrorKind Kind;
};

TEST(TcpConnection, EachWayAConnectionFailsHasItsKind) {
  const std::vector<TConnectCase> cases = {
      {"nothing listens", "127.0.0.1", std::nullopt, 0, TNetErrorKind::neRefused},
      {"the name does not resolve", "no-such-host.invalid", std::nullopt, 0, TNetErrorKind::neNameNotFound},
      // Nobody accepts and the queue is full: the system drops the attempt until the
      // deadline passes.
      {"the queue is full", "127.0.0.1", 0, 4, TNetErrorKind::neTimedOut},
  };
  for (const TConnectCase& c : cases) {
    SCOPED_TRACE(c.What);
    TLoopbackPort port(c.Backlog);
    std::vector<std::unique_ptr<TTcpConnection>> fillers;
    for (int i = 0; i < c.Fillers; ++i) {
      try {
        fillers.push_back(std::make_unique<TTcpConnection>("127.0.0.1", port.Port(), After(milliseconds(200))));
      } catch (const ENetError&) {
      }
    }
    try {
      TTcpConnection connection(c.Host, port.Port(), After(milliseconds(500)));
      ADD_FAILURE() << "connected";
    } catch (const ENetError& e) {
      EXPECT_EQ(e.Kind(), c.Kind) << e.what();
      EXPECT_EQ(e.Step(), TNetStep::nsConnect);
      if (c.Kind != TNetErrorKind::neTimedOut) {
        EXPECT_NE(e.Detail(), "");
      }
    }
  }
}

TEST(TcpConnection, ReadsEndByTheDeadlineByTheEndOrByAReset) {
  TLoopbackPort port(1);
  TTcpConnection connection("127.0.0.1", port.Port(), After(milliseconds(2000)));
  const int peer = port.Accept();
  char buffer[16];

  try {
    connection.Read(buffer, sizeof buffer, After(milliseconds(100)));
    ADD_FAILURE() << "read something";
  } catch (const ENetError& e) {
    EXPECT_EQ(e.Kind(), TNetErrorKind::neTimedOut);
    EXPECT_EQ(e.Step(), TNetStep::nsRead);
  }
  EXPECT_FALSE(connection.InputPending());

  ASSERT_EQ(::write(peer, "220 hi\r\n", 8), 8);
  // A reset after the bytes: what came before it is still read first.
  const linger abort{1, 0};
  ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  ::shutdown(peer, SHUT_WR);
  std::string got;
  for (;;) {
    const std::size_t n = connection.Read(buffer, sizeof buffer, After(milliseconds(2000)));
    if (n == 0) break;
    got.append(buffer, n);
  }
  EXPECT_EQ(got, "220 hi\r\n");
  EXPECT_TRUE(connection.InputPending());
}

TEST(TcpConnection, WritingToAPeerThatResetIsAClosedConnection) {
  TLoopbackPort port(1);
  TTcpConnection connection("127.0.0.1", port.Port(), After(milliseconds(2000)));
  const int peer = port.Accept();
  const linger abort{1, 0};
  ::setsockopt(peer, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  ::close(peer);
  try {
    // The first write may still be taken; the reset answers it, and a later write fails.
    for (int i = 0; i < 100; ++i) connection.Write(std::string(64 * 1024, 'x'), After(milliseconds(2000)));
    ADD_FAILURE() << "every write was taken";
  } catch (const ENetError& e) {
    EXPECT_EQ(e.Kind(), TNetErrorKind::neClosed) << e.what();
    EXPECT_EQ(e.Step(), TNetStep::nsWrite);
    EXPECT_NE(e.Detail(), "");
  }
}

}  // namespace
}  // namespace eqd::net
