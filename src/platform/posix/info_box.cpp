#include "platform/info_box.h"

namespace eqd::platform {

void ShowInformationBox(const std::string&, const std::string&) {}

}  // namespace eqd::platform
