#include "com/server_module.h"

#include <atomic>

namespace eqd::com {

namespace {
std::atomic<TComServer*> gServer{nullptr};
}

TComServer* LoadedServer() { return gServer.load(); }
void SetLoadedServer(TComServer* server) { gServer.store(server); }

}  // namespace eqd::com
