#include "com/win32/class_factory.h"

#include <gtest/gtest.h>

#include <atomic>

#include "automation/errors.h"
#include "com/memory_platform.h"
#include "com/server_module.h"
#include "com_test_support.h"

namespace eqd::com {
namespace {

using testing::TMemoryPlatform;

// A server set up as the module does at load, with a creator the test controls.
struct ClassFactoryTest : ::testing::Test {
  TMemoryPlatform platform;
  TComServer server{platform, false};
  int created = 0;
  std::string failWith;

  ClassFactoryTest() {
    server.SetServerName("VxEq");
    server.AddFactory(std::make_unique<TClassFactory>(server, DriverClassInfo(), [this]() -> std::shared_ptr<TBaseObject> {
      if (!failWith.empty()) throw EDriverError(failWith);
      ++created;
      return std::make_unique<TBaseObject>();
    }));
    SetLoadedServer(&server);
  }
  ~ClassFactoryTest() override { SetLoadedServer(nullptr); }

  TComPtr<IClassFactory> Factory() {
    TComPtr<IClassFactory> f;
    EXPECT_EQ(GetClassObject(&server, reinterpret_cast<const CLSID&>(DriverClassInfo().ClassID), IID_IClassFactory,
                             reinterpret_cast<void**>(f.Put())),
              S_OK);
    return f;
  }
};

// An outer object that only counts its references.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
struct TOuter final : IUnknown {
  std::atomic<ULONG> Refs{1};
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualIID(iid, IID_IUnknown) ? this : nullptr;
    if (*out) AddRef();
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++Refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --Refs; }
  virtual ~TOuter() = default;
};
#pragma GCC diagnostic pop

TEST_F(ClassFactoryTest, OnlyTheDriverClassIsAvailable) {
  CLSID other = reinterpret_cast<const CLSID&>(DriverClassInfo().ClassID);
  other.Data1 ^= 1;
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(GetClassObject(&server, other, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  out = reinterpret_cast<void*>(1);
  EXPECT_EQ(GetClassObject(&server, reinterpret_cast<const CLSID&>(DriverClassInfo().ClassID), IID_IDispatch, &out),
            E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_TRUE(server.CanUnloadNow());
}

TEST_F(ClassFactoryTest, ObjectsFactoryReferencesAndLocksKeepTheModuleLoaded) {
  TComPtr<IClassFactory> factory = Factory();
  EXPECT_FALSE(server.CanUnloadNow());
  TComPtr<IDispatch> object;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(object.Put())), S_OK);
  EXPECT_EQ(created, 1);
  EXPECT_EQ(server.ObjectCount(), 1);
  factory->LockServer(TRUE);
  factory.Reset();
  object.Reset();
  EXPECT_FALSE(server.CanUnloadNow());  // the lock
  Factory()->LockServer(FALSE);
  EXPECT_TRUE(server.CanUnloadNow());
}

TEST_F(ClassFactoryTest, AggregatesOnlyThroughIUnknown) {
  TComPtr<IClassFactory> factory = Factory();
  TOuter outer;
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IDispatch, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(created, 0);
  EXPECT_EQ(server.ObjectCount(), 0);

  IUnknown* inner = nullptr;
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&inner)), S_OK);
  IDispatch* d = nullptr;
  ASSERT_EQ(inner->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d)), S_OK);
  EXPECT_EQ(outer.Refs, 2u);  // the interface's reference belongs to the outer object
  IUnknown* controlling = nullptr;
  ASSERT_EQ(d->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&controlling)), S_OK);
  EXPECT_EQ(controlling, &outer);
  controlling->Release();
  d->Release();
  EXPECT_EQ(inner->Release(), 0u);
  EXPECT_EQ(server.ObjectCount(), 0);
}

TEST_F(ClassFactoryTest, CreationErrorsAreShownAndRefused) {
  TComPtr<IClassFactory> factory = Factory();
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, nullptr), E_POINTER);
  failWith = "Нет доступа к папке";
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &out), E_UNEXPECTED);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(server.ObjectCount(), 0);
  ASSERT_EQ(platform.Boxes.size(), 1u);
  EXPECT_EQ(platform.Boxes[0].Text, "Нет доступа к папке.");
  EXPECT_EQ(platform.Boxes[0].Caption, "ZOD Error");
  EXPECT_EQ(platform.Boxes[0].Flags, 0x10010u);
}

TEST_F(ClassFactoryTest, AnInterfaceTheObjectLacksLeavesNothingBehind) {
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(Factory()->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(server.ObjectCount(), 0);
}

}  // namespace
}  // namespace eqd::com
