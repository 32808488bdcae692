// The driver made inside eqhost's own process, as the class factory makes it, and the
// dry run of "send" that only such a driver can do: the same calls by method name, but
// SendMail composes the message instead of sending it.
#pragma once

#include "automation/variant.h"
#include "host/host_commands.h"
#include "host/host_options.h"
#include "mail/driver.h"

namespace eqd {

// A new driver object; with `dryRun` given, its SendMail composes into it. `dialogue`, when
// set, is told each line of the driver's SMTP dialogues.
DispatchPtr CreateInProcessDriver(TDriver::TDryRunStruct* dryRun = nullptr,
                                  const smtp::TSmtpDialogueObserver& dialogue = nullptr);

// Whether the driver marks the setting as a secret (a password). Asked of a driver object
// of this build, as eqhost.exe reaches the registered class through COM, which does not
// tell.
bool IsDriverSecretSetting(std::string_view id);

// "send --dry-run FILE": runs the send against an in-process driver, writes the composed
// message to FILE (a new file, or with --force one that replaces it) and prints its
// envelope as JSON ({"sender": ..., "recipients": [...]}). Exit codes as
// RunHostCommand's; 2 as well when FILE cannot be written.
int RunDryRunSend(const THostOptionsStruct& options, const DispatchPtr& manager, THostStreamsStruct streams);

}  // namespace eqd
