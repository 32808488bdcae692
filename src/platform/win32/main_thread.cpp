#include "platform/main_thread.h"

#include <windows.h>
#include <tlhelp32.h>

#include "platform/win32/handles.h"

namespace eqd::platform {

// The system lists a process's threads in creation order, so its first entry for this
// process is the main thread.
std::uint32_t FindMainThreadId() {
  const win32::TFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot) return kNoThreadId;
  const DWORD self = GetCurrentProcessId();
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL ok = Thread32First(snapshot.Get(), &entry); ok; ok = Thread32Next(snapshot.Get(), &entry)) {
    if (entry.th32OwnerProcessID == self) return entry.th32ThreadID;
    entry.dwSize = sizeof(entry);
  }
  return kNoThreadId;
}

}  // namespace eqd::platform
