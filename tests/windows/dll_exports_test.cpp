// The built vlm_dodezoz41.dll itself, loaded from beside this test program: its exports
// and server state as a host or regsvr32 meets them, and its version resource.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "com/server_identity.h"
#include "com_test_support.h"
#include "com/win32/com_handles.h"
#include "platform/module_version.h"

namespace eqd::com {
namespace {

std::wstring DllBesideThisProgram() {
  wchar_t path[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  std::wstring p(path, n);
  return p.substr(0, p.find_last_of(L"\\/") + 1) + L"vlm_dodezoz41.dll";
}

struct DllExportsTest : ::testing::Test {
  HMODULE module = nullptr;
  HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;

  void SetUp() override {
    module = LoadLibraryW(DllBesideThisProgram().c_str());
    ASSERT_NE(module, nullptr) << "vlm_dodezoz41.dll beside the test program";
    getClassObject = reinterpret_cast<decltype(getClassObject)>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    canUnloadNow = reinterpret_cast<decltype(canUnloadNow)>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    ASSERT_TRUE(getClassObject && canUnloadNow);
  }
  void TearDown() override {
    if (module) FreeLibrary(module);
  }
};

TEST_F(DllExportsTest, HandsOutItsFactoryAndStaysLoadedWhileObjectsLive) {
  for (const char* name : {"DllRegisterServer", "DllUnregisterServer", "DllInstall"})
    EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
  const CLSID& driver = reinterpret_cast<const CLSID&>(kDriverClassID);
  CLSID other = driver;
  other.Data2 ^= 1;
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(getClassObject(other, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(canUnloadNow(), S_OK);

  TComPtr<IClassFactory> factory;
  ASSERT_EQ(getClassObject(driver, IID_IClassFactory, reinterpret_cast<void**>(factory.Put())), S_OK);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  TComPtr<IDispatch> object;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(object.Put())), S_OK);
  factory.Reset();
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  object.Reset();
  EXPECT_EQ(canUnloadNow(), S_OK);
}

// A host that makes many objects, calls them, locks the server and then lets go of all of it
// in another order: only then may the module go.
TEST_F(DllExportsTest, UnloadsOnlyWhenTheHostHasReleasedEveryObjectAndLock) {
  const CLSID& driver = reinterpret_cast<const CLSID&>(kDriverClassID);
  TComPtr<IClassFactory> factory;
  ASSERT_EQ(getClassObject(driver, IID_IClassFactory, reinterpret_cast<void**>(factory.Put())), S_OK);
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  std::vector<TComPtr<IDispatch>> objects(20);
  for (auto& object : objects) {
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(object.Put())), S_OK);
    VARIANT out;
    VariantInit(&out);
    VARIANT in;
    VariantInit(&in);
    testing::TArgs args{in, testing::Ref(out), testing::I4(30)};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(object->Invoke(testing::IdOf(object.Get(), L"GetDeviceInfo"), IID_NULL, LOCALE_USER_DEFAULT,
                             DISPATCH_METHOD, args.Params(), &result, nullptr, nullptr),
              S_OK);
    VariantClear(&result);
    VariantClear(&out);
  }
  factory.Reset();
  for (std::size_t i = 0; i < objects.size(); i += 2) objects[i].Reset();
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  for (std::size_t i = 1; i < objects.size(); i += 2) objects[i].Reset();
  EXPECT_EQ(canUnloadNow(), S_FALSE) << "the server lock still holds it";
  ASSERT_EQ(getClassObject(driver, IID_IClassFactory, reinterpret_cast<void**>(factory.Put())), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory.Reset();
  EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(DllExportsTest, CarriesTheProjectVersionInItsVersionResource) {
  const std::wstring path = DllBesideThisProgram();
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<unsigned char> data(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length));
  EXPECT_EQ(HIWORD(info->dwFileVersionMS), EQ_VERSION_MAJOR);
  EXPECT_EQ(LOWORD(info->dwFileVersionMS), EQ_VERSION_MINOR);
  EXPECT_EQ(HIWORD(info->dwFileVersionLS), EQ_VERSION_RELEASE);
  EXPECT_EQ(LOWORD(info->dwFileVersionLS), EQ_VERSION_BUILD);
}

}  // namespace
}  // namespace eqd::com
