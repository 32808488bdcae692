#include "automation/base_object.h"

#include "automation/ascii_case.h"
#include "automation/errors.h"
#include "automation/result_codes.h"
#include "automation/variant_convert.h"
#include "platform/guid.h"

namespace eqd {
namespace {

// TimeOut must be of an integer type (Boolean included); floating-point, decimal,
// string and missing values are refused.
bool IsOrdinal(const Variant& v) {
  if (v.IsArray()) return false;
  switch (v.BaseType()) {
    case VT_I2: case VT_I4: case VT_BOOL: case VT_I1: case VT_UI1:
    case VT_UI2: case VT_UI4: case VT_I8: case VT_UI8:
      return true;
    default:
      return false;
  }
}

Variant* Element(SafeArray& params, std::size_t i) {
  return i < params.ElementCount() ? &params.Elements()[i] : nullptr;
}

}  // namespace

TBaseObject::TBaseObject() : FInstanceID(platform::NewGuidText()), FTraceClock(platform::Now) {}

TBaseObject::~TBaseObject() = default;

TMethodStruct& TBaseObject::FindOrAddMethod(std::string_view Name) {
  for (TMethodStruct& m : FMethodList)
    if (AsciiSameText(m.Name, Name)) return m;
  TMethodStruct entry;
  entry.Name = std::string(Name);
  FMethodList.push_back(std::move(entry));
  return FMethodList.back();
}

void TBaseObject::AddPrivateMethod(std::string_view Name, TPrivateMethod Handler) {
  TMethodStruct& m = FindOrAddMethod(Name);
  m.IsPublic = false;
  m.IsSpecific = false;
  m.PrivateMethod = std::move(Handler);
  m.PublicMethod = nullptr;
}

void TBaseObject::AddPublicMethod(std::string_view Name, TPublicMethod Handler) {
  TMethodStruct& m = FindOrAddMethod(Name);
  m.IsPublic = true;
  m.IsSpecific = false;
  m.PublicMethod = std::move(Handler);
  m.PrivateMethod = nullptr;
}

void TBaseObject::AddSpecificMethod(std::string_view Name, TPublicMethod Handler) {
  TMethodStruct& m = FindOrAddMethod(Name);
  m.IsPublic = true;
  m.IsSpecific = true;
  m.PublicMethod = std::move(Handler);
  m.PrivateMethod = nullptr;
}

std::int32_t TBaseObject::FindMethod(std::string_view Name) const {
  for (std::size_t i = 0; i < FMethodList.size(); ++i)
    if (AsciiSameText(FMethodList[i].Name, Name)) return static_cast<std::int32_t>(i);
  return -1;
}

std::string TBaseObject::GetDriverResultDescription(std::int32_t ResultCode) { return GetResultDescription(ResultCode); }

std::int32_t TBaseObject::CallMethod(std::int32_t DispID, Variant& Result, SafeArray& Params) {
  // The trace state at the start decides this call's own lines, even when the handler
  // switches the trace (WriteDebugLog still looks at the live flag).
  const bool trace = FDebugLogEnabled;
  if (DispID < 0 || static_cast<std::size_t>(DispID) >= FMethodList.size()) return hrFail;
  // A copy: a handler that registers methods must not pull the entry from under us.
  const TMethodStruct method = FMethodList[static_cast<std::size_t>(DispID)];
  if (method.IsPublic) return CallPublic(method, Result, Params, trace);
  CallPrivate(method, Result, Params, trace);
  return hrOk;
}

void TBaseObject::TraceCall(const TMethodStruct& Method, std::exception_ptr& Failure, std::string_view Name,
                            std::string_view Text) {
  if (!Method.RunsDespiteTraceFailure) {
    WriteDebugLog(Name, Text);
    return;
  }
  try {
    WriteDebugLog(Name, Text);
  } catch (...) {
    if (!Failure) Failure = std::current_exception();
    FDebugLogEnabled = false;
  }
}

std::int32_t TBaseObject::CallPublic(const TMethodStruct& Method, Variant& Result, SafeArray& Params, bool Trace) {
  std::int32_t hr = hrOk;
  Variant inData, outData, timeOut;
  if (const Variant* p = Element(Params, 0)) inData = *p;
  if (const Variant* p = Element(Params, 2)) timeOut = *p;
  // Whatever the host passed in OutData is discarded.
  FExtData = Variant();

  std::exception_ptr traceFailure;
  if (Trace) TraceCall(Method, traceFailure, "> " + Method.Name, "InData: " + TraceText(inData));

  if (!IsOrdinal(timeOut.Deref())) {
    hr = hrInvalidArg;
  } else {
    std::string description;
    std::int32_t code = rcOk;
    try {
      const std::int32_t timeOutValue = VarToInt32(timeOut);
      if (!Method.PublicMethod) {
        code = rcCommandNotSupported;
      } else {
        code = Method.PublicMethod(inData, outData, timeOutValue, description);
      }
    } catch (const std::exception& e) {
      description = e.what();
      code = rcUnknownError;
    } catch (...) {
      description.clear();
      code = rcUnknownError;
    }
    if (code != rcOk) {
      if (description.empty()) description = GetDriverResultDescription(code);
      outData = Variant::Array({Variant(code), Variant(description)});
    }
    if (Variant* p = Element(Params, 1)) *p = outData;
    Result = Variant(code == rcOk);
  }

  if (Trace) TraceCall(Method, traceFailure, "< " + Method.Name, "Result=" + TraceText(Result) + "; OutData: " + TraceText(outData));
  if (traceFailure) std::rethrow_exception(traceFailure);
  return hr;
}

void TBaseObject::CallPrivate(const TMethodStruct& Method, Variant& Result, SafeArray& Params, bool Trace) {
  std::exception_ptr traceFailure;
  if (Trace) TraceCall(Method, traceFailure, "> " + Method.Name, "Params: " + TraceText(Params));
  try {
    if (!Method.PrivateMethod) throw EDriverError(GetDriverResultDescription(rcCommandNotSupported));
    Result = Method.PrivateMethod(Params);
  } catch (const std::exception& e) {
    TraceCall(Method, traceFailure, "EXCEPTION", ErrorClassName(e) + ", CallMethod(): " + e.what());
    throw;
  } catch (...) {
    TraceCall(Method, traceFailure, "EXCEPTION", "Exception, CallMethod(): " + GetDriverResultDescription(rcUnknownError));
    throw;
  }
  if (Trace) TraceCall(Method, traceFailure, "< " + Method.Name, "Result=" + TraceText(Result) + "; Params: " + TraceText(Params));
  if (traceFailure) std::rethrow_exception(traceFailure);
}

}  // namespace eqd
