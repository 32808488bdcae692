// The connection step of the e-mail driver's device test: with the values the pages
// just saved, connect to the SMTP server and run a send's dialogue up to and including
// the login, then QUIT; no mail is sent.
#pragma once

#include "settings_ui/common_settings.h"

namespace eqd {

// For a TDriver, a check that holds a sender of its own, made from the driver's settings
// on the calling thread; a device of another class has no connection to test (nullptr).
// A failure reads "Проверка подключения к SMTP-серверу не пройдена." and then the
// driver's own text.
TDeviceConnectionTest DriverConnectionTest();

}  // namespace eqd
