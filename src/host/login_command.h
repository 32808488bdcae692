// eqhost login: signs a person in with a code (the device authorization grant) for the
// refresh-token flow of a settings file, and writes the refresh token into that file.
#pragma once

#include "host/host_commands.h"
#include "mail/oauth/device_sign_in.h"

namespace eqd {

// The exit code: 0 signed in and the file written, 1 the provider refused or the sign-in
// ended, 2 the settings file is unusable. `wait` waits between polls (a real pause by
// default); `send` reaches the provider (HTTPS by default).
int RunLoginCommand(const THostOptionsStruct& options, THostStreamsStruct streams,
                    const oauth::TDeviceSignIn::TWait& wait = {},
                    const oauth::TOAuthTokenSource::TSend& send = &platform::HttpsSend);

}  // namespace eqd
