// Where the driver module lies and which version it has.
#pragma once

#include <cstdint>
#include <string>

namespace eqd::platform {

struct ModuleVersion {
  std::uint16_t Major = 0, Minor = 0, Release = 0, Build = 0;
  friend bool operator==(const ModuleVersion&, const ModuleVersion&) = default;
};

// Full path of the module that holds this code: on Windows the driver DLL (not the
// host's executable); on Linux the shared object or the executable the core is
// linked into.
std::string ModuleFileName();

// The module's file name without folder and extension, used to name the driver's
// folders and files. On Windows it is taken from ModuleFileName(). On Linux the core
// is linked statically into whatever program uses it, so the file name would be that
// program's; the name is the build's module name constant (EQ_MODULE_NAME) instead.
std::string ModuleBaseName();

// The four-part version of the file (empty: of the driver module); all zeros when the
// file has no version information. On Windows this is the file's version resource; on
// Linux only the driver module has one, the version kept by the build.
ModuleVersion GetModuleVersion(const std::string& fileName);

}  // namespace eqd::platform
