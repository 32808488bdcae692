// A connection that breaks while the message is on its way: the server's refusal comes
// before its reset, and the client meets the reset first (a write fails) or the refusal
// first (between two pieces). Either way the host sees the refusal. A scripted stream makes
// the write fail first on demand, which a real server cannot.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "mail/smtp/smtp_error.h"
#include "mail/smtp/smtp_texts.h"
#include "net/net_error.h"
#include "scripted_stream.h"

namespace eqd::smtp {
namespace {

using testing::TOneSend;
using testing::TScriptedStream;

// The server up to its 354; the first write of the message text fails as a reset does,
// and only then `lastWords` (what the server sent before it went) is there to read.
class TResetInTheMessage final : public net::TByteStream {
 public:
  explicit TResetInTheMessage(std::string lastWords)
      : script_({"220 mx.test\r\n", "250 mx.test\r\n", "250 ok\r\n", "250 ok\r\n", "354 go ahead\r\n"}, 0),
        lastWords_(std::move(lastWords)) {}

  std::size_t Read(char* buffer, std::size_t size, net::TDeadline deadline) override {
    if (!reset_) return script_.Read(buffer, size, deadline);
    const std::size_t n = std::min(size, lastWords_.size() - read_);
    std::memcpy(buffer, lastWords_.data() + read_, n);
    read_ += n;
    return n;
  }
  void Write(std::string_view data, net::TDeadline deadline) override {
    const std::string& written = script_.Written();
    if (written.size() >= 6 && written.compare(written.size() - 6, 6, "DATA\r\n") == 0) {
      reset_ = true;
      throw net::ENetError(net::TNetErrorKind::neClosed, net::TNetStep::nsWrite, "Connection reset by peer");
    }
    script_.Write(data, deadline);
  }
  bool InputPending() override { return reset_ ? read_ < lastWords_.size() : script_.InputPending(); }

 private:
  TScriptedStream script_;
  std::string lastWords_;
  std::size_t read_ = 0;
  bool reset_ = false;
};

TEST(SmtpTransaction, AWriteThatMeetsTheServersResetReportsWhatItSaidBefore) {
  struct TCase {
    std::string LastWords;
    std::string Error;
  } cases[] = {
      {"550 5.7.1 This violates SMTP\r\n", std::string(texts::kEarlyReply) + ": 5.7.1 This violates SMTP"},
      {"", std::string(texts::kConnectionClosed) + ": Connection reset by peer"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.LastWords);
    TResetInTheMessage stream(c.LastWords);
    TOneSend send(stream, nullptr);
    try {
      send.Send({"client.test", "", "", "from@x.test", {"to@x.test"}},
                [](TDataSink& out) { out.Write("Subject: t\r\n\r\nline\r\n"); });
      ADD_FAILURE() << "the send went through";
    } catch (const ESmtpError& e) {
      EXPECT_EQ(e.Message(), c.Error);
    }
  }
}

}  // namespace
}  // namespace eqd::smtp
