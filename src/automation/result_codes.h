// Result codes of the driver's public methods and their messages for people. One table
// serves every kind of equipment; 0 is success. Codes outside the table have no text
// of their own.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace eqd {

// The codes the driver itself returns or checks by name.
enum TResultCode : std::int32_t {
  rcOk = 0,
  rcDeviceNotEnabled = 70,
  rcTimeout = 74,
  rcCancelledByUser = 201,
  rcUnknownError = 1001,
  rcCommandNotRecognized = 1002,
  rcCommandNotSupported = 1003,
  rcInvalidParameters = 1004,
  rcDeviceNotInitialized = 1005,
  rcLibraryNotFound = 1006,
  rcDeviceNotResponding = 1007,
  rcDeviceNotReady = 1008,
  rcDeviceBusy = 1009,
  rcWrongLibraryVersion = 1010,
  rcPortUnavailable = 1011,
  rcPortBusy = 1012,
  rcDeviceNotFound = 1013,
  rcProtocolError = 1014,
  rcWrongCommandSequence = 1015,
  rcPortWriteError = 1016,
  rcPortReadError = 1017,
  rcLibraryCallError = 1018,
  rcSingleInstanceOnly = 1019,
  rcInvalidDeviceParameters = 1020,
};

struct TResultCodeEntry {
  std::int32_t Code;
  const char* Message;  // UTF-8
};

// The whole table, in code order.
std::span<const TResultCodeEntry> ResultCodeTable();

// The message for a code: Text when it is not empty and the code is not 0; else the
// table's message; else Default when not empty; else the message of 1001.
std::string GetResultDescription(std::int32_t Code, std::string_view Text = {}, std::string_view Default = {});

}  // namespace eqd
