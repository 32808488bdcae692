// The eqhost commands. Each works on a driver object reached only through its
// method names (as a COM host reaches it), "login" on the settings file alone (it signs
// a person in for OAuth 2.0), and returns the process exit code:
// 0 done, 1 a driver call failed (method, code and description on `err`), 2 bad
// input of eqhost's own (unreadable file, unknown setting).
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "automation/value_text.h"
#include "automation/variant.h"
#include "host/host_options.h"

namespace eqd {

struct THostStreamsStruct {
  std::istream& In;
  std::ostream& Out;
  std::ostream& Err;
};

// Makes one driver object, as the class factory does; released when the last
// reference goes.
using TDriverFactory = std::function<DispatchPtr()>;

// The driver's connection test, where eqhost holds the driver object itself rather than
// reaching it through COM: true when it worked, else false with the failure's text.
using TConnectionTest = std::function<bool(DispatchObject& driver, std::string& description)>;

// `isSecret` tells which settings hold secrets (passwords): "settings" shows them masked
// unless --show-secrets, and no error repeats their values.
int RunHostCommand(const THostOptionsStruct& options, const TDriverFactory& createDriver, const DispatchPtr& manager,
                   THostStreamsStruct streams, const TIsSecretSetting& isSecret,
                   const TConnectionTest& testConnection = {});

}  // namespace eqd
