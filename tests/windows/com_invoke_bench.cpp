// How long a host's late-bound call takes through the real COM runtime: GetIDsOfNames and
// Invoke of a public method on the driver made by the DLL's class factory, the trace off.
// Prints nanoseconds a call; run it under Wine or Windows beside vlm_dodezoz41.dll.
#include <windows.h>
#include <objbase.h>

#include <cstdio>

#include "com/server_identity.h"
#include "com/win32/com_handles.h"
#include "com_test_support.h"

namespace {

using namespace eqd::com;

double NanosecondsPerCall(IDispatch* object, bool lookUpEachTime, int calls) {
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  DISPID id = testing::IdOf(object, L"ClearRecepients");
  QueryPerformanceCounter(&start);
  for (int i = 0; i < calls; ++i) {
    if (lookUpEachTime) id = testing::IdOf(object, L"ClearRecepients");
    VARIANT in, out, result;
    VariantInit(&in);
    VariantInit(&out);
    VariantInit(&result);
    testing::TArgs args{in, testing::Ref(out), testing::I4(30)};
    object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, args.Params(), &result, nullptr, nullptr);
    VariantClear(&result);
    VariantClear(&out);
  }
  QueryPerformanceCounter(&end);
  return 1e9 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart) / calls;
}

}  // namespace

int main() {
  wchar_t path[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::wstring dll(path, n);
  dll = dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"vlm_dodezoz41.dll";
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
  HMODULE module = LoadLibraryW(dll.c_str());
  if (module == nullptr) return 2;
  auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  {
    TComPtr<IClassFactory> factory;
    TComPtr<IDispatch> object;
    if (getClassObject == nullptr ||
        FAILED(getClassObject(reinterpret_cast<const CLSID&>(kDriverClassID), IID_IClassFactory,
                              reinterpret_cast<void**>(factory.Put()))) ||
        FAILED(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(object.Put()))))
      return 2;
    constexpr int kCalls = 200000;
    NanosecondsPerCall(object.Get(), true, kCalls / 10);  // warm-up
    std::printf("Invoke of ClearRecepients, DISPID known: %.0f ns a call\n", NanosecondsPerCall(object.Get(), false, kCalls));
    std::printf("GetIDsOfNames + Invoke of ClearRecepients: %.0f ns a call\n", NanosecondsPerCall(object.Get(), true, kCalls));
  }
  CoUninitialize();
  return 0;
}
