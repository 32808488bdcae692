// A message box with the information icon and an OK button, owned by no window.
#pragma once

#include <string>

namespace eqd::platform {

// Shows the box and returns when it is closed. Where there is no desktop (Linux) it
// shows nothing and returns at once.
void ShowInformationBox(const std::string& Text, const std::string& Caption);

}  // namespace eqd::platform
