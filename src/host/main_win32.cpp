// eqhost.exe: the command-line host on Windows. The commands are those of every build;
// the driver object is the registered class, created by its ProgID and called through
// IDispatch as any COM host calls it, so a console shows what an application will see.
#include <windows.h>
#include <shlobj.h>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "com/win32/dispatch_bridge.h"
#include "com/win32/win32_com_platform.h"
#include "host/equipment_manager.h"
#include "host/host_error.h"
#include "host/host_commands.h"
#include "host/host_options.h"
#include "host/host_texts.h"
#include "host/in_process_driver.h"
#include "platform/console.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace eqd {
namespace {

using platform::win32::WideToUtf8;

constexpr std::string_view kProgID = "VxEq.vlmCommon";

// UTF-8 output on the console for the run (texts are UTF-8 throughout), the previous
// code page back afterwards. Output to a file or a pipe is UTF-8 as it is.
class TUtf8Console {
 public:
  TUtf8Console() : FPrevious(GetConsoleOutputCP()) {
    if (FPrevious != 0) SetConsoleOutputCP(CP_UTF8);
  }
  TUtf8Console(const TUtf8Console&) = delete;
  TUtf8Console& operator=(const TUtf8Console&) = delete;
  ~TUtf8Console() {
    if (FPrevious != 0 && FPrevious != CP_UTF8) SetConsoleOutputCP(FPrevious);
  }

 private:
  UINT FPrevious;
};

// COM on this thread, in a single-threaded apartment as the class is registered for.
class TComApartment {
 public:
  TComApartment() : FResult(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  TComApartment(const TComApartment&) = delete;
  TComApartment& operator=(const TComApartment&) = delete;
  ~TComApartment() {
    if (SUCCEEDED(FResult)) CoUninitialize();
  }

 private:
  HRESULT FResult;
};

std::string Environment(const wchar_t* name) {
  const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
  if (n == 0) return {};
  std::wstring value(n, L'\0');
  const DWORD written = GetEnvironmentVariableW(name, value.data(), n);
  value.resize(written < n ? written : 0);
  return WideToUtf8(value);
}

// %EQHOST_HOME%, else %LOCALAPPDATA%\eqhost; the two folders are "devices\" and
// "models\" under it. Nothing is created.
THostFoldersStruct WindowsHostFolders() {
  std::string root = Environment(L"EQHOST_HOME");
  if (root.empty()) {
    platform::win32::TCoTaskMemory<PWSTR> local;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, local.Put())))
      root = WideToUtf8(local.Get()) + "\\eqhost";
  }
  if (root.empty()) root = "eqhost";
  if (root.back() != '\\' && root.back() != '/') root += '\\';
  return {root + "devices\\", root + "models\\", "ru"};
}

// The driver behind COM, with every argument passed by reference (VT_BYREF|VT_VARIANT,
// as a script host passes its variables), so that the host reads OutData and the
// parameters of "Init" and "Open" as the driver left them.
class TComDriver : public DispatchObject {
 public:
  explicit TComDriver(DispatchPtr object) : FObject(std::move(object)) {}

  Variant Invoke(std::string_view name, std::vector<Variant>& args) override {
    std::vector<Variant> refs;
    refs.reserve(args.size());
    // Objects (the equipment manager) go by value: the driver keeps them and hands
    // nothing back, and the caller's argument stays the very object it passed.
    for (Variant& a : args) refs.push_back(a.IsByRef() || a.Vt() == VT_DISPATCH ? a : Variant::ByRef(a));
    return FObject->Invoke(name, refs);
  }

 private:
  DispatchPtr FObject;
};

int Main() {
  THostOptionsStruct options;
  // Read as UTF-16, so that text outside the ANSI code page (Cyrillic subjects, file
  // names) arrives whole.
  if (auto exit = ParseHostOptions(com::ProcessArguments(), options, std::cout, std::cerr)) return *exit;
  const TComApartment apartment;
  // Standard input carries the calls of "run -"; dialogs must not read from it then.
  const bool callsOnStdin = options.Command == THostCommand::hcRun && options.RunFile == "-";
  const bool interactive = !callsOnStdin && platform::StdinIsTerminal();
  // Everything that holds a COM object goes before the apartment does.
  auto manager =
      std::make_shared<THostEquipmentManager>(WindowsHostFolders(), interactive, options.Verbose, std::cin, std::cerr);
  const TDriverFactory createDriver = []() -> DispatchPtr {
    try {
      return std::make_shared<TComDriver>(com::CreateComObject(kProgID));
    } catch (const com::EHostCallError& e) {
      if (e.Code() == REGDB_E_CLASSNOTREG || e.Code() == CO_E_CLASSSTRING)
        throw EHostError(e.what() + std::string(host_texts::kRegisterDriver));
      throw;
    }
  };
  const THostStreamsStruct io{std::cin, std::cout, std::cerr};
  // A dry run needs the driver's composer without its connection, which no host reaches
  // through COM: it runs against a driver object of this build made in this process.
  if (options.DryRunFile) return RunDryRunSend(options, manager, io);
  return RunHostCommand(options, createDriver, manager, io, IsDriverSecretSetting);
}

}  // namespace
}  // namespace eqd

int main() {
  const eqd::TUtf8Console console;
  return eqd::Main();
}
