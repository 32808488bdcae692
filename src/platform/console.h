// The process's console: whether a person can answer on standard input.
#pragma once

namespace eqd::platform {

// True when standard input is an interactive terminal (not a file, pipe or /dev/null).
bool StdinIsTerminal();

}  // namespace eqd::platform
