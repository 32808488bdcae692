// Reading SMTP replies out of received bytes. A reply is one or more lines of three
// digits followed by "-" (more lines follow) or a blank or the line end (last line).
// The reader never touches a socket: it is fed bytes and says how many it used.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace eqd::smtp {

struct TSmtpReplyStruct {
  int Code = 0;
  std::vector<std::string> Lines;  // the text of each line, without code and separator

  // The reply's text as the host is shown it: the lines joined by blanks; the code
  // itself when the server sent no text.
  std::string Text() const;
};

class TSmtpReplyReader {
 public:
  // RFC 5321 allows 512 bytes per line; servers go beyond it in extension lists, so the
  // limits leave room while keeping a misbehaving server from filling memory.
  static constexpr std::size_t kMaxLineSize = 4096;
  static constexpr std::size_t kMaxReplySize = 64 * 1024;

  // Takes bytes from the front of `data` up to the end of the reply at most and returns
  // how many it took. Raises ESmtpError when a line or the reply grows past its limit or
  // a line is not a reply line, and, with the reply's text, when the lines of one reply
  // carry different codes: no code can be trusted then.
  std::size_t Feed(std::string_view data);
  bool Complete() const { return complete_; }
  // The finished reply; the reader is then ready for the next one.
  TSmtpReplyStruct Take();

 private:
  void AcceptLine(std::string_view line);

  std::string partial_;
  TSmtpReplyStruct reply_;
  std::size_t replySize_ = 0;
  bool complete_ = false;
  bool mixedCodes_ = false;
};

}  // namespace eqd::smtp
