#include "platform/info_box.h"

#include <windows.h>

#include "platform/win32/wide.h"

namespace eqd::platform {

void ShowInformationBox(const std::string& Text, const std::string& Caption) {
  MessageBoxW(nullptr, win32::Utf8ToWide(Text).c_str(), win32::Utf8ToWide(Caption).c_str(),
              MB_OK | MB_ICONINFORMATION);
}

}  // namespace eqd::platform
