#include "platform/console.h"

#include <windows.h>

namespace eqd::platform {

bool StdinIsTerminal() {
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  return in != nullptr && in != INVALID_HANDLE_VALUE && GetFileType(in) == FILE_TYPE_CHAR && GetConsoleMode(in, &mode) != 0;
}

}  // namespace eqd::platform
