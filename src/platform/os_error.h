// Operating-system error numbers and their texts. Platform functions that can fail
// return such a number (0 for success); the automation layer turns it into an error
// with a message, so this layer stays free of the core's exception classes.
#pragma once

#include <string>

namespace eqd::platform {

// errno on POSIX, GetLastError() on Windows; 0 means success.
using OsErrorCode = int;

// The system's own text for an error number, in UTF-8, without a trailing line break.
std::string OsErrorText(OsErrorCode code);

// The one lookup of the system's message for a code: errno on POSIX; on Windows
// GetLastError(), a Windows Sockets error or an HRESULT, all one table there. UTF-8,
// without the trailing line break and blanks; empty when the system has no text for it,
// so the caller chooses what to say instead.
std::string SystemErrorText(OsErrorCode code);

}  // namespace eqd::platform
