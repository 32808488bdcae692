// The few operating-system services the server logic needs: the registry, the module's
// own path and a message box. The DLL implements them with the Windows API; tests use an
// in-memory registry. Strings are UTF-8 here; the Windows side converts.
#pragma once

#include <cstdint>
#include <string>

namespace eqd::com {

enum TRegistryRoot {
  rrClassesRoot,  // HKEY_CLASSES_ROOT: machine-wide registration
  rrCurrentUser,  // HKEY_CURRENT_USER: per-user registration, under "Software\Classes\"
};

class TComPlatform {
 public:
  virtual ~TComPlatform() = default;

  // Opens or creates `key` (missing parents included) and sets one REG_SZ value; an empty
  // value name is the key's default value. False when the key or the value cannot be written.
  virtual bool WriteStringValue(TRegistryRoot root, const std::string& key,
                                const std::string& valueName, const std::string& data) = 0;
  // Deletes one key that has no subkeys. False when it is missing or cannot be deleted.
  virtual bool DeleteKey(TRegistryRoot root, const std::string& key) = 0;

  // The module's own file name, full and in its long form.
  virtual std::string ModuleLongPath() = 0;
  // The 8.3 form of an existing path; empty when the system cannot give one.
  virtual std::string ShortPath(const std::string& path) = 0;

  // A modal message box without an owner window; flags are the platform's MB_* bits.
  virtual void ShowMessageBox(const std::string& text, const std::string& caption,
                              std::uint32_t flags) = 0;
};

}  // namespace eqd::com
