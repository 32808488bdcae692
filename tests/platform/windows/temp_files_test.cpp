#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "platform/guid.h"
#include "platform/read_only_file.h"
#include "platform/temp_files.h"
#include "scratch.h"

namespace eqd::platform {
namespace {

namespace fs = std::filesystem;

TEST(TempFilesTest, PrivateFoldersAreNewEachTime) {
  TScratch scratch;
  const std::string parent = scratch.Path() + "\\";
  std::string first, second;
  ASSERT_EQ(CreatePrivateFolder(parent, "Касса.", first), 0);
  ASSERT_EQ(CreatePrivateFolder(parent, "Касса.", second), 0);
  EXPECT_NE(first, second);
  for (const std::string& folder : {first, second}) {
    EXPECT_EQ(folder.rfind(parent + "Касса.", 0), 0u) << folder;
    EXPECT_TRUE(fs::is_directory(fs::u8path(folder)));
  }
  EXPECT_EQ(CreateNewFolder(first), static_cast<OsErrorCode>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(RemoveEmptyFolder(first), 0);
  EXPECT_EQ(RemoveEmptyFolder(first), 0);  // gone already: success
  EXPECT_FALSE(fs::exists(fs::u8path(first)));
}

TEST(TempFilesTest, AFileWrittenAnewIsTheFileReadBack) {
  TScratch scratch;
  const std::string file = scratch.Path() + "\\отчёт.txt";
  TFileIdentity written;
  ASSERT_EQ(WriteNewFile(file, "abc", written), 0);
  TFileIdentity again;
  EXPECT_EQ(WriteNewFile(file, "x", again), static_cast<OsErrorCode>(ERROR_FILE_EXISTS));
  {
    TReadOnlyFile f(file, TLinks::Refuse);
    EXPECT_EQ(f.Identity(), written);
    char buf[8];
    EXPECT_EQ(std::string(buf, f.Read(buf, sizeof buf)), "abc");
  }
  EXPECT_EQ(DeleteFileIfExists(file), 0);
  EXPECT_EQ(DeleteFileIfExists(file), 0);
}

TEST(ReadOnlyFileTest, OnlyRegularFilesOpenAndNoneMakesTheOpenWait) {
  TScratch scratch;
  const std::wstring pipeName = L"\\\\.\\pipe\\eqd-test-" + std::to_wstring(GetCurrentProcessId());
  HANDLE pipe = CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  for (const std::string& path : {scratch.Path(), std::string("NUL"), std::string("\\\\.\\pipe\\eqd-test-") +
                                                                           std::to_string(GetCurrentProcessId())})
    EXPECT_THROW(TReadOnlyFile{path}, ENotRegularFile) << path;
  CloseHandle(pipe);
  EXPECT_THROW(TReadOnlyFile(scratch.Path() + std::string("\\a\0.txt", 7)), std::runtime_error);
}

}  // namespace
}  // namespace eqd::platform
