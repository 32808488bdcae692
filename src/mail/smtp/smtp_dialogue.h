// The SMTP dialogue as a log shows it: each reply line as the server sent it and each
// command as we sent it, in the order they passed over the connection. The login's user
// name and password appear only as the secret mask (kSecretMask), and the message text
// only as its size, so a log of the dialogue can be kept where other people read it.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace eqd::smtp {

enum class TSmtpDialogueSide { dsServer, dsClient };

// Told one line at a time, without its line end; a reply line may still hold a lone CR
// that the server put inside it.
using TSmtpDialogueObserver = std::function<void(TSmtpDialogueSide Side, std::string_view Line)>;

// A line of the dialogue for a log: "S: " before a reply line, "C: " before a command.
// The line is kept as it is; a log's own line writer shows its line breaks.
inline std::string DialogueLineText(TSmtpDialogueSide Side, std::string_view Line) {
  std::string text = Side == TSmtpDialogueSide::dsServer ? "S: " : "C: ";
  text += Line;
  return text;
}

}  // namespace eqd::smtp
