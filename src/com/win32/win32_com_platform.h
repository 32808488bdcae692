// TComPlatform on the Windows API: the registry, the module's own path and MessageBoxW.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "com/com_platform.h"

namespace eqd::com {

class TWin32ComPlatform : public TComPlatform {
 public:
  explicit TWin32ComPlatform(HMODULE module) : FModule(module) {}

  bool WriteStringValue(TRegistryRoot root, const std::string& key, const std::string& valueName,
                        const std::string& data) override;
  bool DeleteKey(TRegistryRoot root, const std::string& key) override;
  std::string ModuleLongPath() override;
  std::string ShortPath(const std::string& path) override;
  void ShowMessageBox(const std::string& text, const std::string& caption, std::uint32_t flags) override;

 private:
  HMODULE FModule;
};

// The hosting process's command-line arguments after the program name, in UTF-8.
std::vector<std::string> ProcessArguments();

}  // namespace eqd::com
