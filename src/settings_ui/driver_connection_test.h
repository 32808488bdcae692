// The connection step of the e-mail driver's device test: with the values the pages
// just saved, connect to the SMTP server and run a send's dialogue up to and including
// the login, then QUIT; no mail is sent.
#pragma once

#include "settings_ui/common_settings.h"

namespace eqd {

// For a TDriver; a device of another class has no connection to test and passes.
TDeviceConnectionTest DriverConnectionTest();

}  // namespace eqd
