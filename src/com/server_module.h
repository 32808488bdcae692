// The server object of the loaded module. Objects and factories reach the counts through
// it; it is null before the module has loaded and once unloading has begun, so an object
// released late touches nothing.
#pragma once

#include "com/com_server.h"

namespace eqd::com {

TComServer* LoadedServer();
void SetLoadedServer(TComServer* server);

}  // namespace eqd::com
