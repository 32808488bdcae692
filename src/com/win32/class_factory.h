// The class factory: the one entry of the server's factory list for each creatable
// class, and its IClassFactory. Its references only count (the server's factory count);
// the factory itself lives until the module unloads.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <functional>
#include <memory>

#include "automation/base_object.h"
#include "com/com_server.h"

namespace eqd::com {

// Makes a new, initialised driver object, owned with whatever deleter its class needs
// (a device is destroyed before it is deleted); an error it raises is shown to the user
// and refuses the creation.
using TObjectCreator = std::function<std::shared_ptr<TBaseObject>()>;

// COM interfaces have no virtual destructor by design: objects delete themselves in
// Release, never through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class TClassFactory final : public TFactoryEntry, public IClassFactory {
 public:
  TClassFactory(TComServer& server, TClassFactoryStruct info, TObjectCreator create)
      : TFactoryEntry(std::move(info)), FServer(server), FCreate(std::move(create)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  TComServer& FServer;
  TObjectCreator FCreate;
};
#pragma GCC diagnostic pop

// The driver class as the server registers it: ProgID VxEq.vlmCommon, apartment model.
TClassFactoryStruct DriverClassInfo();

// DllGetClassObject: the factory of `classID` from the loaded server's list, asked for `iid`.
HRESULT GetClassObject(TComServer* server, REFCLSID classID, REFIID iid, void** out);

}  // namespace eqd::com
