// SMTP transparency for the DATA command (RFC 5321, 4.5.2) as a streaming filter: a line
// of the message that begins with "." is sent with one more ".", so that no line of the
// message can be taken for the end-of-data mark. The server removes the extra dot, so the
// stored message is the composed one; the filter therefore belongs to the transmission,
// not to the message, and the SMTP session runs the composer's output through it.
#pragma once

#include <string>
#include <string_view>

namespace eqd {

class TDotStuffingFilter {
 public:
  // Appends `data` with a "." added before every "." that starts a line. A line starts at
  // the beginning of the data and after every LF (a bare LF included, since some servers
  // end lines there). State carries over chunk boundaries.
  void Update(std::string_view data, std::string& out);
  // The end-of-data mark: a CR LF first when the data did not end with one, then ".",
  // CR LF. Send it only when the whole message went out; a send that fails half-way must
  // close the connection without it, so that the server never delivers a cut message.
  void Finish(std::string& out);

 private:
  bool atLineStart_ = true;
  bool afterCR_ = false;    // the last byte was CR (for the CR LF check in Finish)
  bool endsWithCRLF_ = false;
  bool empty_ = true;
};

}  // namespace eqd
