// Result codes of the COM boundary, spelled out so the server logic builds and is tested
// without the Windows headers. The values are the platform's own.
#pragma once

#include <cstdint>

namespace eqd::com {

using HResult = std::int32_t;

inline constexpr HResult hrOk = 0;
inline constexpr HResult hrFalse = 1;
inline constexpr HResult hrNotImpl = static_cast<HResult>(0x80004001u);
inline constexpr HResult hrNoInterface = static_cast<HResult>(0x80004002u);
inline constexpr HResult hrPointer = static_cast<HResult>(0x80004003u);
inline constexpr HResult hrFail = static_cast<HResult>(0x80004005u);
inline constexpr HResult hrUnexpected = static_cast<HResult>(0x8000FFFFu);
inline constexpr HResult hrNoAggregation = static_cast<HResult>(0x80040110u);
inline constexpr HResult hrClassNotAvailable = static_cast<HResult>(0x80040111u);
inline constexpr HResult hrInvalidArg = static_cast<HResult>(0x80070057u);
inline constexpr HResult hrDispException = static_cast<HResult>(0x80020009u);

}  // namespace eqd::com
