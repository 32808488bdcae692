// The module's entry points: DllMain sets the server up at load and takes it down at
// unload; the five exports of an in-process server call into it.
#include <windows.h>
#include <objbase.h>

#include <float.h>

#include <memory>

#include "com/server_identity.h"
#include "mail/driver.h"
#include "com/server_module.h"
#include "com/win32/class_factory.h"
#include "com/win32/com_handles.h"
#include "com/win32/win32_com_platform.h"
#include "settings_ui/driver_connection_test.h"
#include "settings_ui/win32/settings_window_win32.h"

namespace eqd::com {
namespace {

TWin32ComPlatform* gPlatform = nullptr;
TComServer* gServer = nullptr;

// The one class the factory makes: the e-mail driver, created and initialised as a device.
std::shared_ptr<TBaseObject> CreateDriver() { return std::shared_ptr<TDriver>(CreateDevice<TDriver>()); }

void LoadModule(HMODULE module) {
  // Hosts may run with floating-point exceptions unmasked; the driver's arithmetic
  // expects them masked.
  _controlfp(_MCW_EM, _MCW_EM);
  gPlatform = new TWin32ComPlatform(module);
  gServer = new TComServer(*gPlatform, PerUserFromSwitches(ProcessArguments()));
  gServer->SetServerName(std::string(kServerName));
  gServer->AddFactory(std::make_unique<TClassFactory>(*gServer, DriverClassInfo(), &CreateDriver));
  SetLoadedServer(gServer);
  // "ShowSettingsDlg" shows the settings window from now on; its device test connects.
  settings_ui_win32::RegisterSettingsWindow(module, DriverConnectionTest());
}

void UnloadModule(bool processEnding) {
  SetLoadedServer(nullptr);
  // At process exit other threads are gone and their objects may still point at the
  // server: leave it to the system.
  if (processEnding) return;
  settings_ui_win32::UnregisterSettingsWindow();
  delete gServer;
  delete gPlatform;
  gServer = nullptr;
  gPlatform = nullptr;
}

}  // namespace
}  // namespace eqd::com

using eqd::com::gServer;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  try {
    if (reason == DLL_PROCESS_ATTACH) {
      DisableThreadLibraryCalls(instance);
      eqd::com::LoadModule(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
      eqd::com::UnloadModule(reserved != nullptr);
    }
    return TRUE;
  } catch (...) {
    return FALSE;
  }
}

STDAPI DllGetClassObject(REFCLSID classID, REFIID iid, LPVOID* out) {
  return eqd::com::GetClassObject(eqd::com::LoadedServer(), classID, iid, out);
}

STDAPI DllCanUnloadNow() {
  const eqd::com::TComServer* server = eqd::com::LoadedServer();
  return server == nullptr || server->CanUnloadNow() ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
  eqd::com::TComServer* server = eqd::com::LoadedServer();
  return server ? server->RegisterServer() : E_FAIL;
}

STDAPI DllUnregisterServer() {
  eqd::com::TComServer* server = eqd::com::LoadedServer();
  return server ? server->UnregisterServer() : E_FAIL;
}

STDAPI DllInstall(BOOL install, PCWSTR commandLine) {
  eqd::com::TComServer* server = eqd::com::LoadedServer();
  if (server == nullptr) return E_FAIL;
  try {
    return server->Install(install != FALSE, commandLine ? eqd::platform::win32::WideToUtf8(commandLine) : std::string());
  } catch (...) {
    return E_FAIL;
  }
}
