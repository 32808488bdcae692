// Owners of the Windows handles and system-allocated memory that more than one file
// opens; each is an alias of the one owning-handle template.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "platform/unique_handle.h"

namespace eqd::platform::win32 {

// A kernel object from a function that answers INVALID_HANDLE_VALUE on failure
// (CreateFileW, CreateToolhelp32Snapshot).
using TFileHandle = TUniqueHandle<HANDLE, &CloseHandle, -1>;

// Memory the system allocated for the caller to give back with LocalFree
// (FormatMessageW, CommandLineToArgvW, security descriptors), held as the pointer
// type it is read through.
template <typename T>
using TLocalMemory = TUniqueHandle<T, &LocalFree>;

// Memory from the COM task allocator (SHGetKnownFolderPath, StringFromCLSID).
template <typename T>
using TCoTaskMemory = TUniqueHandle<T, &CoTaskMemFree>;

}  // namespace eqd::platform::win32
