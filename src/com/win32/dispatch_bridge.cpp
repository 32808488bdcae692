#include "com/win32/dispatch_bridge.h"

#include <dispex.h>

#include <atomic>
#include <cstdio>

#include "automation/ascii_case.h"
#include "com/com_server.h"
#include "com/com_texts.h"
#include "com/win32/variant_convert.h"
#include "platform/os_error.h"

namespace eqd::com {

namespace {

// IID_IDispatchEx, which the import libraries do not carry.
constexpr IID kIIDDispatchEx = {0xA6EF9860, 0xC720, 0x11D0, {0x93, 0x37, 0x00, 0xA0, 0xC9, 0x0D, 0xCA, 0xA9}};

template <typename... Args>
std::string Format(std::string_view format, Args... args) {
  const int n = std::snprintf(nullptr, 0, format.data(), args...);
  std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  std::snprintf(out.data(), out.size() + 1, format.data(), args...);
  return out;
}

// Frees the strings of an EXCEPINFO the callee filled.
void ClearExcepInfo(EXCEPINFO* info) {
  SysFreeString(info->bstrSource);
  SysFreeString(info->bstrDescription);
  SysFreeString(info->bstrHelpFile);
}
using TExcepInfo = platform::TUniqueStruct<EXCEPINFO, &ClearExcepInfo>;

// The system's description of a result code.
std::string SystemMessage(HRESULT code) {
  const std::string text = platform::SystemErrorText(code);
  return text.empty() ? std::string(kTextUnknownError) : text;
}

}  // namespace

DISPID THostDispatch::FindName(std::string_view name) {
  std::wstring wide = Utf8ToWide(name);
  LPOLESTR names[] = {wide.data()};
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = FDispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (SUCCEEDED(hr)) return id;
  // Script objects may answer names only through IDispatchEx.
  if (auto ex = FDispatch.Query<IDispatchEx>(kIIDDispatchEx)) {
    TBstr bstr = MakeBstr(name);
    if (SUCCEEDED(ex->GetDispID(bstr.Get(), fdexNameCaseInsensitive, &id))) return id;
  }
  throw EHostCallError(Format(kTextHostMethodNotFound, std::string(name).c_str()), hr);
}

Variant THostDispatch::Invoke(std::string_view name, std::vector<Variant>& args) {
  if (!FDispatch) throw EHostCallError(Format(kTextHostMethodNotFound, std::string(name).c_str()), E_POINTER);
  const DISPID id = FindName(name);
  const std::size_t n = args.size();
  // values[i] holds argument i; a by-reference argument is passed as a link to it.
  std::vector<TVariantHolder> values(n);
  std::vector<VARIANT> rgvarg(n);
  for (std::size_t i = 0; i < n; ++i) {
    VARIANT& slot = rgvarg[n - 1 - i];
    VariantInit(&slot);
    values[i] = ToVariant(args[i]);
    if (args[i].IsByRef()) {
      V_VT(&slot) = VT_BYREF | VT_VARIANT;
      V_VARIANTREF(&slot) = &values[i].Get();
    } else {
      slot = values[i].Detach();  // cleared below, whatever the callee left in it
    }
  }
  struct TClearSlots {
    std::vector<VARIANT>& Slots;
    ~TClearSlots() {
      for (VARIANT& v : Slots)
        if (!(V_VT(&v) & VT_BYREF)) VariantClear(&v);
    }
  } clearSlots{rgvarg};

  DISPPARAMS params{rgvarg.data(), nullptr, static_cast<UINT>(n), 0};
  TVariantHolder result;
  TExcepInfo excepInfo;
  EXCEPINFO& excep = *excepInfo.Put();
  excepInfo.Fill();  // whatever the callee puts in it is freed
  UINT argError = 0;
  const HRESULT hr = FDispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                       &params, result.Put(), &excep, &argError);
  if (FAILED(hr)) {
    if (hr == DISP_E_EXCEPTION) {
      if (excep.pfnDeferredFillIn) excep.pfnDeferredFillIn(&excep);
      std::string description = BstrToUtf8(excep.bstrDescription);
      if (!description.empty()) throw EHostCallError(description, excep.scode ? excep.scode : hr);
    }
    throw EHostCallError(
        Format(kTextHostCallFailed, std::string(name).c_str(), SystemMessage(hr).c_str(), static_cast<unsigned>(hr)),
        hr);
  }
  for (std::size_t i = 0; i < n; ++i)
    if (args[i].IsByRef()) args[i].Deref() = FromVariant(values[i].Get());
  return FromVariant(result.Get());
}

namespace {

// A core object seen by COM callers: names get DISPIDs in the order they are first asked
// for, and each call goes to DispatchObject::Invoke by name.
// COM interfaces have no virtual destructor by design: objects delete themselves in
// Release, never through an interface pointer.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class TCoreDispatch final : public IDispatch {
 public:
  explicit TCoreDispatch(DispatchPtr object) : FObject(std::move(object)) {}
  TCoreDispatch(const TCoreDispatch&) = delete;
  TCoreDispatch& operator=(const TCoreDispatch&) = delete;
  virtual ~TCoreDispatch() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefCount; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --FRefCount;
    if (n == 0) delete this;
    return n;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (names == nullptr || ids == nullptr || count == 0) return E_POINTER;
    try {
      const std::string name = WideToUtf8(names[0] ? names[0] : L"");
      ids[0] = DISPID_UNKNOWN;
      for (std::size_t i = 0; i < FNames.size() && ids[0] == DISPID_UNKNOWN; ++i)
        if (AsciiSameText(FNames[i], name)) ids[0] = static_cast<DISPID>(i + 1);
      if (ids[0] == DISPID_UNKNOWN) {
        FNames.push_back(name);
        ids[0] = static_cast<DISPID>(FNames.size());
      }
      // Named arguments are not supported.
      for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
      return count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excep, UINT*) override {
    if (id < 1 || static_cast<std::size_t>(id) > FNames.size()) return DISP_E_MEMBERNOTFOUND;
    if (params != nullptr && params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    const UINT n = params ? params->cArgs : 0;
    if (n != 0 && params->rgvarg == nullptr) return E_INVALIDARG;
    try {
      std::vector<Variant> args;
      args.reserve(n);
      for (UINT i = 0; i < n; ++i) args.push_back(FromVariant(params->rgvarg[n - 1 - i]));
      Variant r = FObject->Invoke(FNames[static_cast<std::size_t>(id) - 1], args);
      for (UINT i = 0; i < n; ++i) {
        VARIANT& arg = params->rgvarg[n - 1 - i];
        if (V_VT(&arg) & VT_BYREF) WriteBack(args[i], arg);
      }
      if (result != nullptr) {
        TVariantHolder value = ToVariant(r);
        VariantClear(result);
        *result = value.Detach();
      }
      return S_OK;
    } catch (const std::exception& e) {
      if (excep != nullptr) {
        *excep = EXCEPINFO{};
        excep->scode = E_FAIL;
        excep->bstrSource = SysAllocString(Utf8ToWide(ErrorClassName(e)).c_str());
        excep->bstrDescription = SysAllocString(Utf8ToWide(e.what()).c_str());
      }
      return DISP_E_EXCEPTION;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }

 private:
  std::atomic<ULONG> FRefCount{1};
  DispatchPtr FObject;
  std::vector<std::string> FNames;
};
#pragma GCC diagnostic pop

}  // namespace

DispatchPtr CreateComObject(std::string_view progID) {
  const std::wstring wide = Utf8ToWide(progID);
  CLSID classID{};
  HRESULT hr = CLSIDFromProgID(wide.c_str(), &classID);
  TComPtr<IDispatch> object;
  if (SUCCEEDED(hr))
    hr = CoCreateInstance(classID, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                          reinterpret_cast<void**>(object.Put()));
  if (FAILED(hr) || !object)
    throw EHostCallError(Format(kTextCannotCreateObject, std::string(progID).c_str(), SystemMessage(hr).c_str(),
                                static_cast<unsigned>(hr)),
                         hr);
  return std::make_shared<THostDispatch>(object.Get());
}

IDispatch* MakeComDispatch(const DispatchPtr& object) {
  if (!object) return nullptr;
  if (const auto* host = dynamic_cast<const THostDispatch*>(object.get())) {
    IDispatch* d = host->Dispatch();
    if (d) d->AddRef();
    return d;
  }
  return new TCoreDispatch(object);
}

}  // namespace eqd::com
