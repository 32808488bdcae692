#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "platform/folders.h"

#include <windows.h>
#include <aclapi.h>
#include <shlobj.h>

#include <iterator>

#include "platform/files.h"
#include "platform/unique_handle.h"
#include "platform/win32/folder_access.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace eqd::platform {
namespace {

using win32::Utf8ToWide;
using win32::WideToUtf8;

std::wstring EnvW(const wchar_t* name) {
  const DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
  if (n == 0) return {};
  std::wstring v(n, L'\0');
  const DWORD got = GetEnvironmentVariableW(name, v.data(), n);
  v.resize(got < n ? got : 0);
  return v;
}

using win32::TFileHandle;
using win32::TLocalMemory;
using TSid = TUniqueHandle<PSID, &FreeSid>;

}  // namespace

std::string GetSpecialFolder(int folder) {
  const std::wstring redirected = EnvW(Utf8ToWide(kDataDirVariable).c_str());
  if (!redirected.empty()) {
    const std::string path = WideToUtf8(redirected);
    return ForceDirectories(path) == 0 ? IncludeTrailingPathDelimiter(path) : std::string();
  }
  wchar_t buf[MAX_PATH + 1] = {};
  if (SHGetSpecialFolderPathW(nullptr, buf, folder, TRUE)) return IncludeTrailingPathDelimiter(WideToUtf8(buf));
  // The user's own folder is the fallback; it has no fallback of its own.
  if (folder != kFolderAppData) return GetSpecialFolder(kFolderAppData);
  return {};
}

OsErrorCode GrantEveryoneFullAccessTo(HANDLE folder) {
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  TSid everyone;
  if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, everyone.Put()))
    return static_cast<OsErrorCode>(GetLastError());

  PACL dacl = nullptr;
  TLocalMemory<PSECURITY_DESCRIPTOR> sd;
  const DWORD read =
      GetSecurityInfo(folder, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr, sd.Put());
  if (read != ERROR_SUCCESS) return static_cast<OsErrorCode>(read);
  if (dacl == nullptr) return 0;  // no access list at all: everyone has access already

  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) continue;
    const auto* header = static_cast<ACE_HEADER*>(ace);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    if (allowed->Mask == GENERIC_ALL && EqualSid(reinterpret_cast<PSID>(&allowed->SidStart), everyone.Get())) return 0;
  }

  EXPLICIT_ACCESSW entry{};
  entry.grfAccessPermissions = GENERIC_ALL;
  entry.grfAccessMode = GRANT_ACCESS;
  entry.grfInheritance = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
  entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  entry.Trustee.ptstrName = static_cast<LPWSTR>(everyone.Get());
  TLocalMemory<PACL> newDacl;
  const DWORD built = SetEntriesInAclW(1, &entry, dacl, newDacl.Put());
  if (built != ERROR_SUCCESS) return static_cast<OsErrorCode>(built);
  // Applying may fail on a folder another user owns; the folder is then used as it is.
  (void)SetSecurityInfo(folder, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, newDacl.Get(), nullptr);
  return 0;
}

OsErrorCode GrantEveryoneFullAccess(const std::string& folder) {
  // The folder itself (FILE_FLAG_OPEN_REPARSE_POINT), never what a junction in its place
  // leads to; without the right to change its access list, it can still be read.
  const std::wstring path = Utf8ToWide(folder);
  TFileHandle handle;
  for (const DWORD access : {READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES, READ_CONTROL | FILE_READ_ATTRIBUTES}) {
    handle.Reset(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
    if (handle || GetLastError() != ERROR_ACCESS_DENIED) break;
  }
  if (!handle) return static_cast<OsErrorCode>(GetLastError());
  if (const OsErrorCode error = FolderCheck(handle.Get(), path)) return error;
  return GrantEveryoneFullAccessTo(handle.Get());
}

std::string CurrentUserName() {
  wchar_t name[257] = {};  // UNLEN + 1
  DWORD size = static_cast<DWORD>(std::size(name));
  return GetUserNameW(name, &size) ? WideToUtf8(name) : std::string();
}

}  // namespace eqd::platform
