#include "platform/main_thread.h"

#include <windows.h>
#include <tlhelp32.h>

namespace eqd::platform {

namespace {
// Closes the snapshot on every way out.
struct SnapshotHandle {
  HANDLE h;
  ~SnapshotHandle() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};
}  // namespace

// The system lists a process's threads in creation order, so its first entry for this
// process is the main thread.
std::uint32_t FindMainThreadId() {
  SnapshotHandle snapshot{CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0)};
  if (snapshot.h == INVALID_HANDLE_VALUE) return kNoThreadId;
  const DWORD self = GetCurrentProcessId();
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL ok = Thread32First(snapshot.h, &entry); ok; ok = Thread32Next(snapshot.h, &entry)) {
    if (entry.th32OwnerProcessID == self) return entry.th32ThreadID;
    entry.dwSize = sizeof(entry);
  }
  return kNoThreadId;
}

}  // namespace eqd::platform
