#include "platform/module_info.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include "platform/module_version.h"

namespace eqd::platform {
namespace {
const char kAnchor = 0;  // an address inside this module
}

std::string ModuleFileName() {
  Dl_info info{};
  if (::dladdr(&kAnchor, &info) != 0 && info.dli_fname != nullptr && info.dli_fname[0] == '/') return info.dli_fname;
  // The main program: its link-map name is empty, the kernel knows the path.
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

std::string ModuleBaseName() { return EQ_MODULE_NAME; }

ModuleVersion GetModuleVersion(const std::string& fileName) {
  if (!fileName.empty() && fileName != ModuleFileName()) return {};
  return ModuleVersion{EQ_VERSION_MAJOR, EQ_VERSION_MINOR, EQ_VERSION_RELEASE, EQ_VERSION_BUILD};
}

}  // namespace eqd::platform
