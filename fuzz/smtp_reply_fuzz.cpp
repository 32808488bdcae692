// SMTP replies: the same received bytes give the same replies (or the same error at the
// same reply) however they are split into reads: in one piece, in two pieces at every
// offset, and byte by byte.
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "mail/smtp/smtp_error.h"
#include "mail/smtp/smtp_reply.h"

namespace {

using eqd::smtp::TSmtpReplyReader;
using eqd::smtp::TSmtpReplyStruct;

struct TOutcome {
  std::vector<std::pair<int, std::vector<std::string>>> Replies;
  std::string Error;  // the message of the error that ended reading, if any
  std::size_t Pending = 0;  // bytes taken by a reply not yet complete at the end

  bool operator==(const TOutcome&) const = default;
};

// Feeds `pieces` one after another as a session reads them.
TOutcome Read(const std::vector<std::string_view>& pieces) {
  TOutcome outcome;
  TSmtpReplyReader reader;
  try {
    for (std::string_view piece : pieces) {
      while (!piece.empty()) {
        const std::size_t used = reader.Feed(piece);
        EQ_FUZZ_CHECK(used <= piece.size());
        EQ_FUZZ_CHECK(used > 0 || reader.Complete());
        piece.remove_prefix(used);
        outcome.Pending += used;
        if (reader.Complete()) {
          TSmtpReplyStruct reply = reader.Take();
          EQ_FUZZ_CHECK(reply.Code >= 0 && reply.Code <= 999 && !reply.Lines.empty() && !reply.Text().empty());
          outcome.Replies.emplace_back(reply.Code, std::move(reply.Lines));
          outcome.Pending = 0;
        }
      }
    }
  } catch (const eqd::smtp::ESmtpError& e) {
    outcome.Error = e.what();
    outcome.Pending = 0;
  }
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const TOutcome whole = Read({bytes});
  for (std::size_t at = 0; at <= bytes.size(); ++at)
    EQ_FUZZ_CHECK(Read({bytes.substr(0, at), bytes.substr(at)}) == whole);
  std::vector<std::string_view> single;
  for (std::size_t i = 0; i < bytes.size(); ++i) single.push_back(bytes.substr(i, 1));
  EQ_FUZZ_CHECK(Read(single) == whole);
  return 0;
}
