// Opening a folder to every local user, given an open handle (files.cpp opens its log
// folders without following junctions and hands them over here).
#pragma once

#include <windows.h>

#include <string>

#include "platform/os_error.h"

namespace eqd::platform {

// An inherited full-access entry for Everyone on the folder `folder`, opened with
// READ_CONTROL (and WRITE_DAC to change it). A folder that has one already, or no access
// list at all, is left alone. Failing to apply the new list is not an error.
OsErrorCode GrantEveryoneFullAccessTo(HANDLE folder);

// 0 when `folder`, opened from `path` with FILE_FLAG_OPEN_REPARSE_POINT, is a folder and
// no link (kLinkNotFollowed), junction or mount point; else why it is not (files.cpp).
OsErrorCode FolderCheck(HANDLE folder, const std::wstring& path);

}  // namespace eqd::platform
