// One message to send, checked and cleaned, as both the composer (the message text) and
// the SMTP session (the envelope) use it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "mail/attachment.h"
#include "mail/codecs/address_list.h"

namespace eqd {

struct TMailMessageStruct {
  TMailAddressStruct From;                 // the sender: the first mailbox of the sender text
  std::vector<TMailAddressStruct> ReplyTo;  // every mailbox of the sender text
  std::vector<TMailAddressStruct> To, Cc, Bcc;
  std::string Subject;                     // UTF-8, one line
  std::string BodyText;                    // UTF-8 HTML; may be empty
  std::vector<TAttachment> Attachments;    // in the order given

  // MAIL FROM: the sender's address.
  const std::string& EnvelopeSender() const { return From.Address; }
  // RCPT TO, one per entry: the To addresses, then Cc, then Bcc, each in its order.
  std::vector<std::string> EnvelopeRecipients() const;
};

// Builds the message of one send from the sender's inputs, before any connection is made:
//  - parses the sender (`AUserEmail`) and the three recipient texts as address lists;
//  - refuses, with EDriverError naming it, any address that is not "local@domain" in
//    printable ASCII, a CR, LF or NUL in it included, so nothing can be smuggled into an
//    SMTP command or a header; refuses a missing sender and a send with no recipient;
//  - replaces CR, LF and NUL by a blank in the subject, the display names, and the
//    attachments' content types and content identifiers, so that no header line can be
//    added from input (file names are cleaned where the composer takes them from the path).
TMailMessageStruct PrepareMailMessage(std::string_view AUserEmail, std::string_view ARecepients,
                                      std::string_view ACcRecepients, std::string_view ABccRecepients,
                                      std::string_view ASubject, std::string_view ABodyText,
                                      const std::vector<TAttachment>& AAttachmentPathsArray);

// CR, LF and NUL replaced by a blank.
std::string OneHeaderLine(std::string_view text);

}  // namespace eqd
