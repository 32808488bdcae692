#include "platform/console.h"

#include <unistd.h>

namespace eqd::platform {

bool StdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }

}  // namespace eqd::platform
