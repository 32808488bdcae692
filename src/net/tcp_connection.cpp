#include "net/tcp_connection.h"

namespace eqd::net {
namespace {

using platform::TSocketErrorClass;

std::string SocketErrorText(platform::OsErrorCode code) {
  const std::string text = platform::SystemErrorText(code);
  return text.empty() ? "socket error " + std::to_string(code) : text;
}

ENetError SocketFailure(platform::OsErrorCode code, TNetStep step) {
  TNetErrorKind kind = TNetErrorKind::neNetwork;
  switch (platform::ClassifySocketError(code)) {
    case TSocketErrorClass::ecRefused: kind = TNetErrorKind::neRefused; break;
    case TSocketErrorClass::ecUnreachable: kind = TNetErrorKind::neUnreachable; break;
    case TSocketErrorClass::ecClosed: kind = TNetErrorKind::neClosed; break;
    case TSocketErrorClass::ecTimedOut: kind = TNetErrorKind::neTimedOut; break;
    case TSocketErrorClass::ecOther: break;
  }
  return ENetError(kind, step, SocketErrorText(code));
}

ENetError TimedOut(TNetStep step) { return ENetError(TNetErrorKind::neTimedOut, step, ""); }

}  // namespace

TTcpConnection::TTcpConnection(const std::string& host, std::uint16_t port, TDeadline deadline) {
  platform::TTcpAddresses addresses;
  std::string error;
  if (!platform::ResolveTcp(host, port, addresses, error))
    throw ENetError(TNetErrorKind::neNameNotFound, TNetStep::nsConnect, error);

  ENetError last(TNetErrorKind::neRefused, TNetStep::nsConnect, "");
  for (std::size_t i = 0; i < addresses.Count(); ++i) {
    if (platform::DeadlinePassed(deadline)) {
      last = TimedOut(TNetStep::nsConnect);
      break;
    }
    platform::TTcpSocket socket;
    const platform::TSocketResult started = socket.Connect(addresses, i);
    if (started.Error != 0) {
      last = SocketFailure(started.Error, TNetStep::nsConnect);
      continue;
    }
    if (started.WouldBlock) {
      bool ready = false;
      if (const platform::OsErrorCode code = socket.Wait(platform::TSocketWait::swConnect, deadline, ready)) {
        last = SocketFailure(code, TNetStep::nsConnect);
        continue;
      }
      if (!ready) {
        last = TimedOut(TNetStep::nsConnect);
        continue;
      }
      if (const platform::OsErrorCode code = socket.ConnectResult()) {
        last = SocketFailure(code, TNetStep::nsConnect);
        continue;
      }
    }
    socket_ = std::move(socket);
    return;
  }
  throw last;
}

std::size_t TTcpConnection::Read(char* buffer, std::size_t size, TDeadline deadline) {
  if (!socket_.IsOpen()) throw ENetError(TNetErrorKind::neClosed, TNetStep::nsRead, "");
  for (;;) {
    if (platform::DeadlinePassed(deadline)) throw TimedOut(TNetStep::nsRead);
    const platform::TSocketResult r = socket_.Receive(buffer, size);
    if (r.Error != 0) throw SocketFailure(r.Error, TNetStep::nsRead);
    if (!r.WouldBlock) return r.Bytes;
    Wait(platform::TSocketWait::swRead, deadline, TNetStep::nsRead);
  }
}

void TTcpConnection::Write(std::string_view data, TDeadline deadline) {
  if (!socket_.IsOpen()) throw ENetError(TNetErrorKind::neClosed, TNetStep::nsWrite, "");
  while (!data.empty()) {
    const platform::TSocketResult r = socket_.Send(data);
    if (r.Error != 0) throw SocketFailure(r.Error, TNetStep::nsWrite);
    if (!r.WouldBlock) {
      data.remove_prefix(r.Bytes);
      continue;
    }
    if (platform::DeadlinePassed(deadline)) throw TimedOut(TNetStep::nsWrite);
    Wait(platform::TSocketWait::swWrite, deadline, TNetStep::nsWrite);
  }
}

bool TTcpConnection::InputPending() {
  if (!socket_.IsOpen()) return true;
  bool ready = false;
  if (const platform::OsErrorCode code = socket_.Wait(platform::TSocketWait::swRead, platform::TClock::now(), ready))
    throw SocketFailure(code, TNetStep::nsRead);
  return ready;
}

void TTcpConnection::Wait(platform::TSocketWait what, TDeadline deadline, TNetStep step) {
  bool ready = false;
  if (const platform::OsErrorCode code = socket_.Wait(what, deadline, ready)) throw SocketFailure(code, step);
}

}  // namespace eqd::net
