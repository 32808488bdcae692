// Where the driver module lies and which version it has (platform/module_info.h).
#pragma once

#include <string>

#include "platform/module_info.h"

namespace eqd {

using TModuleVersion = platform::ModuleVersion;

// Full path of the driver module.
inline std::string ModuleFileName() { return platform::ModuleFileName(); }
// The module's file name without folder and extension ("vlm_dodezoz41"); on Linux the
// build's module name, as the core is linked into other programs there.
inline std::string ModuleBaseName() { return platform::ModuleBaseName(); }
// The file's four-part version; all zeros without version information. FileName empty:
// the driver module.
inline TModuleVersion GetModuleVersion(const std::string& FileName = {}) { return platform::GetModuleVersion(FileName); }

}  // namespace eqd
