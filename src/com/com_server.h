// The in-process server: one object per loaded module holding the live-object and
// factory counts, the list of class factories and the per-user registration flag, and
// the registry layout that makes the classes findable. Everything here is plain C++
// against TComPlatform; the DLL's exports and its IClassFactory are thin calls into it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "automation/errors.h"
#include "automation/hresults.h"
#include "com/com_platform.h"
#include "com/guid.h"

namespace eqd::com {

enum TClassInstancing { ciInternal, ciSingleInstance, ciMultiInstance };
enum TThreadingModel { tmSingle, tmApartment, tmFree, tmBoth, tmNeutral };

// The registry text of a threading model; empty for the single model, which writes no value.
std::string_view ThreadingModelText(TThreadingModel model);

struct TClassFactoryStruct {
  TGuid ClassID;
  std::string ClassName;
  std::string Description;
  TClassInstancing Instancing = ciMultiInstance;
  TThreadingModel ThreadingModel = tmApartment;
  bool ShowErrors = true;
};

// One entry of the server's factory list. The DLL's class factory derives from it; the
// entry lives until the module unloads, whatever its reference count says.
class TFactoryEntry {
 public:
  explicit TFactoryEntry(TClassFactoryStruct info) : FInfo(std::move(info)) {}
  virtual ~TFactoryEntry() = default;
  TFactoryEntry(const TFactoryEntry&) = delete;
  TFactoryEntry& operator=(const TFactoryEntry&) = delete;

  const TClassFactoryStruct& Info() const { return FInfo; }

 private:
  TClassFactoryStruct FInfo;
};

// A registry key or value that could not be written.
class ERegistryError : public EDriverError {
 public:
  explicit ERegistryError(const std::string& message) : EDriverError(message, "ERegistryError") {}
};

inline constexpr std::string_view kRegistryWriteError = "Error creating system registry entry";
inline constexpr std::string_view kPerUserKeyPrefix = "Software\\Classes\\";
inline constexpr std::string_view kInprocServerKey = "InprocServer32";

class TComServer {
 public:
  TComServer(TComPlatform& platform, bool perUser) : FPlatform(platform), FPerUser(perUser) {}
  TComServer(const TComServer&) = delete;
  TComServer& operator=(const TComServer&) = delete;

  void SetServerName(std::string name) { FServerName = std::move(name); }
  const std::string& ServerName() const { return FServerName; }
  bool IsInProcess() const { return true; }
  // Server name "." class name; empty when either is empty.
  std::string ProgID(const TClassFactoryStruct& info) const;

  // The factory list: changed under the write lock, searched under the read lock.
  TFactoryEntry& AddFactory(std::unique_ptr<TFactoryEntry> factory);
  TFactoryEntry* FindFactory(const TGuid& classID) const;

  // Live objects plus server locks. Atomic: objects of different apartments may be
  // released on different threads.
  std::int32_t CountObject() { return ++FObjectCount; }
  std::int32_t UncountObject() { return --FObjectCount; }
  std::int32_t ObjectCount() const { return FObjectCount.load(); }
  // Outstanding references to the class factories.
  std::int32_t FactoryAddRef() { return ++FFactoryCount; }
  std::int32_t FactoryRelease() { return --FFactoryCount; }
  std::int32_t FactoryCount() const { return FFactoryCount.load(); }
  // IClassFactory::LockServer after the system has been told.
  void LockServer(bool lock) { lock ? CountObject() : UncountObject(); }
  bool CanUnloadNow() const { return FObjectCount.load() == 0 && FFactoryCount.load() == 0; }

  // false: machine-wide under HKEY_CLASSES_ROOT; true: HKEY_CURRENT_USER\Software\Classes.
  bool PerUser() const { return FPerUser.load(); }
  void SetPerUser(bool perUser) { FPerUser.store(perUser); }

  // Writes (doRegister) or removes the entries of every non-internal factory; a value that
  // cannot be written raises ERegistryError, a key that cannot be deleted is passed over.
  void UpdateRegistry(bool doRegister);
  // DllRegisterServer / DllUnregisterServer: hrOk, or hrFail when anything was raised.
  HResult RegisterServer();
  HResult UnregisterServer();
  // DllInstall: registers or removes per user when the command line is "user" (any case),
  // machine-wide otherwise, and leaves the per-user flag as it found it. A registration
  // that fails is rolled back.
  HResult Install(bool install, std::string_view commandLine);

  // The refusal of a failed creation: shows the message (when the factory shows errors
  // and there is one) and gives E_UNEXPECTED.
  HResult ReportCreationError(const TFactoryEntry& factory, const std::string& message);

  TComPlatform& Platform() { return FPlatform; }

 private:
  void UpdateFactory(const TClassFactoryStruct& info, bool doRegister);
  std::string ModulePathForRegistry();

  TComPlatform& FPlatform;
  std::atomic<std::int32_t> FObjectCount{0};
  std::atomic<std::int32_t> FFactoryCount{0};
  std::atomic<bool> FPerUser;
  std::string FServerName;
  mutable std::shared_mutex FFactoryLock;
  std::vector<std::unique_ptr<TFactoryEntry>> FFactoryList;
};

// The per-user flag the hosting process's command line asks for. `args` are the
// arguments after the program name; switches start with "-" or "/" and are compared
// whole, ignoring case. "AUTOMATION" or "EMBEDDING" keep it off; otherwise the first of
// REGSERVER, UNREGSERVER (off), REGSERVERPERUSER, UNREGSERVERPERUSER (on) present decides.
bool PerUserFromSwitches(const std::vector<std::string>& args);

// CreateInstance's checks before anything is created: E_POINTER without an out pointer,
// CLASS_E_NOAGGREGATION for an outer object that asks for anything but IUnknown.
HResult CheckCreateRequest(bool outPointerGiven, bool outerGiven, bool wantsIUnknown);

inline constexpr std::string_view kCreationErrorCaption = "ZOD Error";
inline constexpr std::uint32_t kCreationErrorFlags = 0x10010;  // MB_ICONSTOP | MB_SETFOREGROUND
// The text shown for a creation error: the message with a period added when its last
// character sorts above ".".
std::string CreationErrorText(std::string message);

}  // namespace eqd::com
