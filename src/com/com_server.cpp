#include "com/com_server.h"

#include <mutex>

#include "automation/ascii_case.h"

namespace eqd::com {

std::string_view ThreadingModelText(TThreadingModel model) {
  switch (model) {
    case tmSingle: return "";
    case tmApartment: return "Apartment";
    case tmFree: return "Free";
    case tmBoth: return "Both";
    case tmNeutral: return "Neutral";
  }
  return "";
}

std::string TComServer::ProgID(const TClassFactoryStruct& info) const {
  if (FServerName.empty() || info.ClassName.empty()) return {};
  return FServerName + "." + info.ClassName;
}

TFactoryEntry& TComServer::AddFactory(std::unique_ptr<TFactoryEntry> factory) {
  std::unique_lock lock(FFactoryLock);
  FFactoryList.push_back(std::move(factory));
  return *FFactoryList.back();
}

TFactoryEntry* TComServer::FindFactory(const TGuid& classID) const {
  std::shared_lock lock(FFactoryLock);
  for (const auto& f : FFactoryList)
    if (f->Info().ClassID == classID) return f.get();
  return nullptr;
}

std::string TComServer::ModulePathForRegistry() {
  std::string path = FPlatform.ModuleLongPath();
  // Hosts that split the server path at blanks still find a module under a folder such as
  // "Program Files" through its 8.3 name.
  if (path.find(' ') != std::string::npos) {
    std::string shortPath = FPlatform.ShortPath(path);
    if (!shortPath.empty()) path = std::move(shortPath);
  }
  return path;
}

void TComServer::UpdateFactory(const TClassFactoryStruct& info, bool doRegister) {
  const TRegistryRoot root = PerUser() ? rrCurrentUser : rrClassesRoot;
  const std::string prefix = PerUser() ? std::string(kPerUserKeyPrefix) : std::string();
  const std::string classKey = prefix + "CLSID\\" + GuidToText(info.ClassID);
  const std::string serverKey = classKey + "\\" + std::string(kInprocServerKey);
  const std::string progID = ProgID(info);

  if (doRegister) {
    auto write = [&](const std::string& key, const std::string& name, const std::string& data) {
      if (!FPlatform.WriteStringValue(root, key, name, data))
        throw ERegistryError(std::string(kRegistryWriteError));
    };
    write(classKey, "", info.Description);
    write(serverKey, "", ModulePathForRegistry());
    const std::string_view model = ThreadingModelText(info.ThreadingModel);
    if (!model.empty()) write(serverKey, "ThreadingModel", std::string(model));
    if (!progID.empty()) {
      write(prefix + progID, "", info.Description);
      write(prefix + progID + "\\Clsid", "", GuidToText(info.ClassID));
      write(classKey + "\\ProgID", "", progID);
    }
  } else {
    // Leaves first: a key that still has subkeys cannot be deleted. A key that is missing
    // or cannot go is passed over, so removing twice is harmless.
    if (!progID.empty()) {
      FPlatform.DeleteKey(root, classKey + "\\ProgID");
      FPlatform.DeleteKey(root, prefix + progID + "\\Clsid");
      FPlatform.DeleteKey(root, prefix + progID);
    }
    FPlatform.DeleteKey(root, serverKey);
    FPlatform.DeleteKey(root, classKey);
  }
}

void TComServer::UpdateRegistry(bool doRegister) {
  std::vector<TClassFactoryStruct> infos;
  {
    std::shared_lock lock(FFactoryLock);
    for (const auto& f : FFactoryList)
      if (f->Info().Instancing != ciInternal) infos.push_back(f->Info());
  }
  for (const auto& info : infos) UpdateFactory(info, doRegister);
}

HResult TComServer::RegisterServer() {
  try {
    UpdateRegistry(true);
    return hrOk;
  } catch (...) {
    return hrFail;
  }
}

HResult TComServer::UnregisterServer() {
  try {
    UpdateRegistry(false);
    return hrOk;
  } catch (...) {
    return hrFail;
  }
}

HResult TComServer::Install(bool install, std::string_view commandLine) {
  struct RestoreFlag {
    TComServer& server;
    bool saved;
    ~RestoreFlag() { server.SetPerUser(saved); }
  } restore{*this, PerUser()};

  SetPerUser(AsciiSameText(commandLine, "user"));
  if (!install) return UnregisterServer();
  const HResult result = RegisterServer();
  if (result == hrFail) {
    UnregisterServer();
    return hrFail;
  }
  return result;
}

HResult TComServer::ReportCreationError(const TFactoryEntry& factory, const std::string& message) {
  if (factory.Info().ShowErrors && !message.empty()) {
    try {
      FPlatform.ShowMessageBox(CreationErrorText(message), std::string(kCreationErrorCaption),
                               kCreationErrorFlags);
    } catch (...) {
      // The refusal below is the answer; a box that cannot be shown changes nothing.
    }
  }
  return hrUnexpected;
}

bool PerUserFromSwitches(const std::vector<std::string>& args) {
  auto has = [&](std::string_view name) {
    for (const std::string& a : args)
      if (a.size() > 1 && (a[0] == '-' || a[0] == '/') &&
          AsciiSameText(std::string_view(a).substr(1), name))
        return true;
    return false;
  };
  if (has("AUTOMATION") || has("EMBEDDING")) return false;
  if (has("REGSERVER")) return false;
  if (has("UNREGSERVER")) return false;
  if (has("REGSERVERPERUSER")) return true;
  if (has("UNREGSERVERPERUSER")) return true;
  return false;
}

HResult CheckCreateRequest(bool outPointerGiven, bool outerGiven, bool wantsIUnknown) {
  if (!outPointerGiven) return hrPointer;
  if (outerGiven && !wantsIUnknown) return hrNoAggregation;
  return hrOk;
}

std::string CreationErrorText(std::string message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
  return message;
}

}  // namespace eqd::com
