// The HRESULT values the driver answers with, spelled out so that the dispatcher and
// the server logic build and are tested without the Windows headers. The values are the
// platform's own (the Windows build checks each against its macro).
#pragma once

#include <cstdint>

namespace eqd {

using HResult = std::int32_t;

inline constexpr HResult hrOk = 0;                                                   // S_OK
inline constexpr HResult hrFalse = 1;                                                // S_FALSE
inline constexpr HResult hrNotImpl = static_cast<HResult>(0x80004001u);              // E_NOTIMPL
inline constexpr HResult hrNoInterface = static_cast<HResult>(0x80004002u);          // E_NOINTERFACE
inline constexpr HResult hrPointer = static_cast<HResult>(0x80004003u);              // E_POINTER
inline constexpr HResult hrFail = static_cast<HResult>(0x80004005u);                 // E_FAIL
inline constexpr HResult hrUnexpected = static_cast<HResult>(0x8000FFFFu);           // E_UNEXPECTED
inline constexpr HResult hrNoAggregation = static_cast<HResult>(0x80040110u);        // CLASS_E_NOAGGREGATION
inline constexpr HResult hrClassNotAvailable = static_cast<HResult>(0x80040111u);    // CLASS_E_CLASSNOTAVAILABLE
inline constexpr HResult hrInvalidArg = static_cast<HResult>(0x80070057u);           // E_INVALIDARG
inline constexpr HResult hrDispException = static_cast<HResult>(0x80020009u);        // DISP_E_EXCEPTION

}  // namespace eqd
