// The raw call protocol of "eqhost run": one JSON object per input line, one JSON
// answer per call.
//   {"method": "AddRecepient", "in": ["a@example.com"], "timeout": 0}
//       a public method: InData, OutData, TimeOut (TimeOut 0 when left out)
//       -> {"method": ..., "result": ..., "out": ...}
//   {"method": "Open", "params": ["DEV1", null]}
//       a method with its own argument list ("Init", "Open", "Close")
//       -> {"method": ..., "result": ..., "params": [... as they are after the call]}
//   a call that raised -> {"method": ..., "exception": "message"}
// A line with neither "in" nor "params" is a public call, except for "Init", "Open"
// and "Close", which are called with no arguments. Blank lines are skipped; a line
// that is no call gives {"line": N, "error": "message"} and the run goes on; so does a
// line whose arrays and objects nest deeper than kMaxJsonDepth.
#pragma once

#include <iosfwd>

#include "automation/variant.h"
#include "host/json_variant.h"

namespace eqd {

// One call of `driver` by method name; `manager` is what {"manager": true} stands for.
// Raises EHostError for a line that is no call.
Json RunCallLine(const Json& call, DispatchObject& driver, const DispatchPtr& manager);

// Every line of `in`; answers go to `out`, each flushed at once so that a process
// driving eqhost through a pipe sees them. True when every line was a call.
bool RunCallLines(std::istream& in, std::ostream& out, DispatchObject& driver, const DispatchPtr& manager);

}  // namespace eqd
