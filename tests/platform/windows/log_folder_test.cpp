#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>

#include <filesystem>
#include <string>

#include "platform/files.h"
#include "platform/folders.h"
#include "platform/guid.h"
#include "platform/temp_files.h"
#include "scratch.h"

namespace eqd::platform {
namespace {

namespace fs = std::filesystem;

// Wine keeps no access lists on files (it answers a fixed one) and lets a folder that
// is held open be renamed: what rests on those is checked on Windows only.
bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// Whether the folder's own access list holds an entry that gives Everyone GENERIC_ALL.
bool GrantsEveryone(const std::string& folder) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetNamedSecurityInfoW(fs::u8path(folder).wstring().c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &dacl, nullptr, &sd) != ERROR_SUCCESS)
    return false;
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
  bool found = false;
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount && !found; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace) || static_cast<ACE_HEADER*>(ace)->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    found = allowed->Mask == GENERIC_ALL && EqualSid(reinterpret_cast<PSID>(&allowed->SidStart), everyone);
  }
  FreeSid(everyone);
  LocalFree(sd);
  return found;
}

TEST(LogFolderTest, OnlyAFolderItMadeIsOpenedToEveryone) {
  TScratch scratch;
  TLogFolder folder;
  EXPECT_EQ(folder.Open(scratch.Path(), {"Korventa", "logs"}, fcOpenOnly), static_cast<OsErrorCode>(ERROR_FILE_NOT_FOUND));
  ASSERT_EQ(folder.Open(scratch.Path(), {"Korventa", "logs"}, fcCreateShared), 0);
  EXPECT_EQ(folder.Path(), scratch.Path() + "\\Korventa\\logs\\");
  ASSERT_EQ(folder.Append("a.log", "one\r\n"), 0);
  ASSERT_EQ(folder.Append("a.log", "two\r\n"), 0);
  EXPECT_EQ(folder.Append("..\\b.log", "x"), static_cast<OsErrorCode>(ERROR_INVALID_NAME));
  EXPECT_EQ(folder.Append("c:b.log", "x"), static_cast<OsErrorCode>(ERROR_INVALID_NAME));
  ASSERT_TRUE(CreateDirectoryW(fs::u8path(scratch.Path() + "\\own").wstring().c_str(), nullptr));
  TLogFolder own;
  ASSERT_EQ(own.Open(scratch.Path(), {"own"}, fcCreateShared), 0);
  if (UnderWine()) GTEST_SKIP() << "Wine keeps no access lists and does not hold folders";

  EXPECT_TRUE(GrantsEveryone(scratch.Path() + "\\Korventa\\logs"));
  EXPECT_FALSE(GrantsEveryone(scratch.Path() + "\\Korventa"));
  // A folder that was there keeps its access list, whoever made it.
  EXPECT_FALSE(GrantsEveryone(scratch.Path() + "\\own"));
  // While the folder is held, nobody can delete or rename it to put a junction there.
  const std::wstring logs = fs::u8path(scratch.Path() + "\\Korventa\\logs").wstring();
  EXPECT_FALSE(MoveFileW(logs.c_str(), (logs + L"-moved").c_str()));
  folder = TLogFolder();
  EXPECT_TRUE(MoveFileW(logs.c_str(), (logs + L"-moved").c_str()));
}

TEST(LogFolderTest, OnlyPlainFilesAreAppendedTo) {
  TScratch scratch;
  TLogFolder folder;
  ASSERT_EQ(folder.Open(scratch.Path(), {}, fcOpenOnly), 0);
  ASSERT_TRUE(CreateDirectoryW(fs::u8path(scratch.Path() + "\\Debug.log").wstring().c_str(), nullptr));
  EXPECT_NE(folder.Append("Debug.log", "x"), 0);
  EXPECT_TRUE(fs::is_directory(fs::u8path(scratch.Path() + "\\Debug.log")));
  ASSERT_EQ(folder.Append("Debug.user.log", "x"), 0);
}

// Links made by this test where the system lets it make them (Windows with developer
// mode or as administrator); Wine only pretends to, and the Wine tier plants its links
// from the Unix side instead (run_wine_tests.sh).
TEST(LogFolderTest, AFolderOrFileThatIsALinkIsNeverFollowed) {
  TScratch scratch;
  const std::string target = scratch.Path() + "\\target";
  ASSERT_TRUE(CreateDirectoryW(fs::u8path(target).wstring().c_str(), nullptr));
  const std::wstring link = fs::u8path(scratch.Path() + "\\logs").wstring();
  const std::wstring fileLink = fs::u8path(target + "\\Debug.log").wstring();
  CreateSymbolicLinkW(link.c_str(), fs::u8path(target).wstring().c_str(),
                      SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  CreateSymbolicLinkW(fileLink.c_str(), fs::u8path(scratch.Path() + "\\victim.txt").wstring().c_str(),
                      SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
  if (GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES ||
      GetFileAttributesW(fileLink.c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "this system makes no symbolic links for this user";
  TLogFolder folder;
  EXPECT_EQ(folder.Open(scratch.Path(), {"logs"}, fcCreateShared), kLinkNotFollowed);
  EXPECT_FALSE(GrantsEveryone(target));
  EXPECT_EQ(GrantEveryoneFullAccess(scratch.Path() + "\\logs"), kLinkNotFollowed);
  EXPECT_FALSE(GrantsEveryone(target));
  ASSERT_EQ(folder.Open(scratch.Path(), {"target"}, fcOpenOnly), 0);
  EXPECT_EQ(folder.Append("Debug.log", "x"), kLinkNotFollowed);
  EXPECT_EQ(GetFileAttributesW(fs::u8path(scratch.Path() + "\\victim.txt").wstring().c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace eqd::platform
