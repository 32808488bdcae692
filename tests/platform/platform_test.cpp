#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <functional>
#include <set>

#include "automation/scratch_folder.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/guid.h"
#include "platform/locale_formats.h"
#include "platform/module_info.h"
#include "platform/module_version.h"
#include "platform/read_only_file.h"
#include "platform/temp_files.h"

namespace eqd::platform {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;

TEST(FoldersTest, TheDataFolderVariableRedirectsEveryFolder) {
  testing::ScratchFolder scratch;
  for (int folder : {kFolderCommonAppData, kFolderAppData, kFolderLocalAppData})
    EXPECT_EQ(GetSpecialFolder(folder), scratch.Data().string() + "/");
  EXPECT_TRUE(fs::is_directory(scratch.Data()));  // created on demand
}

TEST(FoldersTest, WithoutTheVariableTheUsersDataFolderIsTheFallback) {
  testing::ScratchFolder scratch;
  ::unsetenv(kDataDirVariable);
  const std::string xdg = (scratch.Path() / "xdg").string();
  const char* saved = std::getenv("XDG_DATA_HOME");
  const std::string savedValue = saved ? saved : "";
  ::setenv("XDG_DATA_HOME", xdg.c_str(), 1);
  EXPECT_EQ(GetSpecialFolder(kFolderAppData), xdg + "/");
  EXPECT_EQ(GetSpecialFolder(kFolderCommonAppData), ::access("/var/lib", W_OK) == 0 ? "/var/lib/" : xdg + "/");
  ::setenv("XDG_DATA_HOME", (scratch.Path() / "file").c_str(), 1);
  { std::ofstream(scratch.Path() / "file") << "x"; }
  EXPECT_EQ(GetSpecialFolder(kFolderAppData), "");  // cannot be made: no answer, no recursion
  if (saved) ::setenv("XDG_DATA_HOME", savedValue.c_str(), 1);
  else ::unsetenv("XDG_DATA_HOME");
}

TEST(FoldersTest, OpenToEveryoneMeansStickyWorldWritable) {
  testing::ScratchFolder scratch;
  const fs::path dir = scratch.Path() / "a" / "b";
  ASSERT_EQ(ForceDirectories(dir.string()), 0);
  ASSERT_EQ(ForceDirectories(dir.string()), 0);
  ::chmod(dir.c_str(), 0700);
  EXPECT_EQ(GrantEveryoneFullAccess(dir.string()), 0);
  struct stat st {};
  ASSERT_EQ(::stat(dir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 01777);
  EXPECT_NE(GrantEveryoneFullAccess((scratch.Path() / "missing").string()), 0);
  { std::ofstream(scratch.Path() / "f") << "x"; }
  EXPECT_NE(ForceDirectories((scratch.Path() / "f" / "sub").string()), 0);
}

TEST(FilesTest, AppendCreatesAppendsAndRefusesWhatIsNotAPlainFile) {
  testing::ScratchFolder scratch;
  const fs::path file = scratch.Path() / "log.txt";
  ASSERT_EQ(AppendToFile(file.string(), "one\r\n"), 0);
  ASSERT_EQ(AppendToFile(file.string(), std::string("two\0\r\n", 6)), 0);
  EXPECT_EQ(ReadFile(file), std::string("one\r\ntwo\0\r\n", 11));

  const fs::path link = scratch.Path() / "link.txt";
  fs::create_symlink(file, link);
  EXPECT_NE(AppendToFile(link.string(), "evil"), 0);
  const fs::path pipe = scratch.Path() / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_NE(AppendToFile(pipe.string(), "x"), 0);  // no reader: must not hang
  const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  EXPECT_NE(AppendToFile(pipe.string(), "x"), 0);  // a reader: still not a file
  ::close(reader);
  EXPECT_NE(AppendToFile(scratch.Path().string(), "x"), 0);
  EXPECT_NE(AppendToFile((scratch.Path() / "no" / "such").string(), "x"), 0);
  EXPECT_EQ(ReadFile(file), std::string("one\r\ntwo\0\r\n", 11));
  EXPECT_FALSE(OsErrorText(ELOOP).empty());
}

mode_t ModeOf(const fs::path& p) {
  struct stat st {};
  return ::lstat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(LogFolderTest, FoldersBelowTheBaseAreNeverReachedThroughALink) {
  testing::ScratchFolder scratch;
  const fs::path base = scratch.Path() / "base";
  const fs::path victim = scratch.Path() / "victim";
  fs::create_directories(base);
  fs::create_directories(victim);
  ::chmod(victim.c_str(), 0700);
  const struct {
    const char* what;
    std::function<void()> plant;  // puts something in place of base/a (or base/a/b)
    OsErrorCode error;
  } cases[] = {
      {"a link to a folder", [&] { fs::create_directory_symlink(victim, base / "a"); }, kLinkNotFollowed},
      {"a dangling link", [&] { fs::create_symlink(scratch.Path() / "none", base / "a"); }, kLinkNotFollowed},
      {"a link one level down",
       [&] {
         fs::create_directory(base / "a");
         fs::create_directory_symlink(victim, base / "a" / "b");
       },
       kLinkNotFollowed},
      {"a file", [&] { std::ofstream(base / "a") << "x"; }, ENOTDIR},
  };
  for (const auto& c : cases) {
    fs::remove_all(base / "a");
    c.plant();
    for (const TFolderCreation creation : {fcOpenOnly, fcCreate, fcCreateShared}) {
      TLogFolder folder;
      EXPECT_EQ(folder.Open(base.string(), {"a", "b"}, creation), c.error) << c.what;
      EXPECT_EQ(folder.Append("Debug.log", "x"), EBADF) << c.what;
    }
    EXPECT_TRUE(fs::is_empty(victim)) << c.what;
    EXPECT_EQ(ModeOf(victim), 0700u) << c.what;
  }
  // The name of a folder below the base stays inside it.
  for (const char* name : {"..", ".", "", "x/y"}) {
    TLogFolder folder;
    EXPECT_EQ(folder.Open(base.string(), {name}, fcCreate), EINVAL) << name;
  }
}

TEST(LogFolderTest, OnlyAFolderItMadeIsOpenedToEveryone) {
  testing::ScratchFolder scratch;
  const fs::path base = scratch.Path();
  TLogFolder folder;
  EXPECT_EQ(folder.Open(base.string(), {"Korventa", "logs"}, fcOpenOnly), ENOENT);
  EXPECT_FALSE(fs::exists(base / "Korventa"));

  ASSERT_EQ(folder.Open(base.string(), {"Korventa", "logs"}, fcCreateShared), 0);
  EXPECT_EQ(folder.Path(), (base / "Korventa" / "logs").string() + "/");
  EXPECT_EQ(ModeOf(base / "Korventa" / "logs"), 01777u);
  EXPECT_NE(ModeOf(base / "Korventa") & 01002, 01002u);  // only the last one is shared
  ASSERT_EQ(folder.Append("a.log", "one\r\n"), 0);
  ASSERT_EQ(folder.Append("a.log", "two\r\n"), 0);
  EXPECT_EQ(ReadFile(base / "Korventa" / "logs" / "a.log"), "one\r\ntwo\r\n");
  EXPECT_EQ(ModeOf(base / "Korventa" / "logs" / "a.log"), 0600u);  // the lines are this user's only
  EXPECT_EQ(folder.Append("../b.log", "x"), EINVAL);

  // A folder that was there keeps its permissions, whoever made it.
  ::chmod((base / "Korventa" / "logs").c_str(), 0755);
  ASSERT_EQ(folder.Open(base.string(), {"Korventa", "logs"}, fcCreateShared), 0);
  EXPECT_EQ(ModeOf(base / "Korventa" / "logs"), 0755u);
}

TEST(FoldersTest, OpeningToEveryoneChangesTheFolderNeverWhatALinkLeadsTo) {
  testing::ScratchFolder scratch;
  const fs::path victim = scratch.Path() / "victim";
  fs::create_directories(victim);
  ::chmod(victim.c_str(), 0700);
  fs::create_directory_symlink(victim, scratch.Path() / "link");
  EXPECT_EQ(GrantEveryoneFullAccess((scratch.Path() / "link").string()), kLinkNotFollowed);
  EXPECT_EQ(ModeOf(victim), 0700u);
}

TEST(FilesTest, AFileOfAnotherUserOrWithASecondNameIsNotAppendedTo) {
  testing::ScratchFolder scratch;
  const fs::path mine = scratch.Path() / "mine.log";
  ASSERT_EQ(AppendToFile(mine.string(), "mine"), 0);
  const fs::path second = scratch.Path() / "second.log";
  fs::create_hard_link(mine, second);
  EXPECT_EQ(AppendToFile(second.string(), "x"), kNotOwnFile);
  EXPECT_EQ(AppendToFile(mine.string(), "x"), kNotOwnFile);  // both names are the same file
  EXPECT_EQ(ReadFile(mine), "mine");
  if (::geteuid() == 0) {  // another owner needs root to make
    const fs::path theirs = scratch.Path() / "theirs.log";
    { std::ofstream(theirs) << "theirs"; }
    ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
    EXPECT_EQ(AppendToFile(theirs.string(), "x"), kNotOwnFile);
    EXPECT_EQ(ReadFile(theirs), "theirs");
  }
}

TEST(ReadOnlyFileTest, OnlyRegularFilesOpenAndNoneMakesTheOpenWait) {
  testing::ScratchFolder scratch;
  const fs::path file = scratch.Path() / "a.txt";
  TFileIdentity written;
  ASSERT_EQ(WriteNewFile(file.string(), "abc", written), 0);
  const fs::path link = scratch.Path() / "link.txt";
  fs::create_symlink(file, link);
  const fs::path pipe = scratch.Path() / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);

  const struct {
    fs::path path;
    TLinks links;
  } refused[] = {
      {pipe, TLinks::Follow},  // no writer: a blocking open would wait for ever
      {"/dev/zero", TLinks::Follow},
      {"/dev/null", TLinks::Follow},
      {scratch.Path(), TLinks::Follow},
      {link, TLinks::Refuse},
  };
  for (const auto& c : refused) EXPECT_THROW(TReadOnlyFile(c.path.string(), c.links), ENotRegularFile) << c.path;
  EXPECT_THROW(TReadOnlyFile(file.string() + std::string("\0.pdf", 5)), std::runtime_error);

  // The file written and the same file reached through a link are one file.
  for (const fs::path& p : {file, link}) {
    TReadOnlyFile f(p.string());
    EXPECT_EQ(f.Identity(), written) << p;
    char buf[8];
    EXPECT_EQ(std::string(buf, f.Read(buf, sizeof buf)), "abc");
  }
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(written.Volume, st.st_dev);
  EXPECT_EQ(written.Index, st.st_ino);
}

TEST(TempFilesTest, PrivateFoldersAreNewEachTimeAndTheOwnersOnly) {
  testing::ScratchFolder scratch;
  const std::string parent = scratch.Path().string() + "/";
  std::string first, second;
  ASSERT_EQ(CreatePrivateFolder(parent, "DEV1.", first), 0);
  ASSERT_EQ(CreatePrivateFolder(parent, "DEV1.", second), 0);
  EXPECT_NE(first, second);
  for (const std::string& folder : {first, second}) {
    EXPECT_EQ(fs::path(folder).parent_path(), scratch.Path());
    EXPECT_EQ(fs::path(folder).filename().string().rfind("DEV1.", 0), 0u) << folder;
    struct stat st {};
    ASSERT_EQ(::lstat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(st.st_uid, ::geteuid());
  }
  // A new folder is new: whatever is already there under the name is an error.
  EXPECT_NE(CreateNewFolder(first), 0);
  fs::create_symlink(scratch.Path(), scratch.Path() / "planted");
  EXPECT_NE(CreateNewFolder((scratch.Path() / "planted").string()), 0);
  TFileIdentity id;
  EXPECT_NE(WriteNewFile((scratch.Path() / "planted").string(), "x", id), 0);
  EXPECT_EQ(RemoveEmptyFolder(first), 0);
  EXPECT_EQ(RemoveEmptyFolder(first), 0);  // gone already: success
  EXPECT_FALSE(fs::exists(first));
}

TEST(ModuleInfoTest, NameAndVersionOfTheDriverModule) {
  char exe[4096];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe);
  ASSERT_GT(n, 0);
  EXPECT_EQ(ModuleFileName(), std::string(exe, static_cast<std::size_t>(n)));
  EXPECT_EQ(ModuleBaseName(), "vlm_dodezoz41");
  const ModuleVersion expected{EQ_VERSION_MAJOR, EQ_VERSION_MINOR, EQ_VERSION_RELEASE, EQ_VERSION_BUILD};
  EXPECT_EQ(GetModuleVersion(""), expected);
  EXPECT_EQ(GetModuleVersion(ModuleFileName()), expected);
  EXPECT_EQ(GetModuleVersion("/bin/sh"), ModuleVersion{});
}

TEST(GuidTest, RegistryFormAndUnique) {
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    const std::string g = NewGuidText();
    ASSERT_THAT(g, ::testing::MatchesRegex("\\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}"));
    seen.insert(g);
  }
  EXPECT_EQ(seen.size(), 100u);
  const std::array<std::uint8_t, 8> d4 = {0xB7, 0xD9, 0x2F, 0xA8, 0xB5, 0x4F, 0x9B, 0x29};
  EXPECT_EQ(GuidToText(0x5F3208C9, 0xAF02, 0x4EBE, d4), "{5F3208C9-AF02-4EBE-B7D9-2FA8B54F9B29}");
}

TEST(LocaleFormatsTest, SystemPicturesBecomeTheCoreFormatLanguage) {
  const struct {
    std::string (*convert)(std::string_view);
    const char* picture;
    const char* expected;
  } cases[] = {
      {StrftimeToFormat, "%d.%m.%Y", "dd.mm.yyyy"},
      {StrftimeToFormat, "%m/%d/%y", "mm/dd/yy"},
      {StrftimeToFormat, "%H:%M:%S", "hh:nn:ss"},
      {StrftimeToFormat, "%r", "hh:nn:ss ampm"},
      {StrftimeToFormat, "%-d/%-m/%Y", "d/m/yyyy"},
      {StrftimeToFormat, "%a %d %b %Y", ""},
      {WindowsPictureToFormat, "dd.MM.yyyy", "dd.mm.yyyy"},
      {WindowsPictureToFormat, "M/d/yyyy", "m/d/yyyy"},
      {WindowsPictureToFormat, "H:mm:ss", "h:nn:ss"},
      {WindowsPictureToFormat, "h:mm:ss tt", "h:nn:ss ampm"},
      {WindowsPictureToFormat, "yyyy'г.'", "yyyyг."},
      {WindowsPictureToFormat, "dddd, MMMM d, yyyy", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.convert(c.picture), c.expected) << c.picture;
  EXPECT_EQ(FormatSeparator("dd.mm.yyyy", "/"), ".");
  EXPECT_EQ(FormatSeparator("\"U\"hh:nn", "."), ":");
  EXPECT_EQ(FormatSeparator("yyyymmdd", "-"), "-");
  EXPECT_EQ(FormatSeparator("yyyy\xE5\xB9\xB4mm", "-"), "\xE5\xB9\xB4");

  // The machine's own formats are always usable, whatever the environment names.
  const LocaleFormats f = UserLocaleFormats();
  EXPECT_FALSE(f.DecimalSeparator.empty());
  EXPECT_NE(f.ShortDateFormat.find("yyyy"), std::string::npos);
  EXPECT_FALSE(f.LongTimeFormat.empty());
}

}  // namespace
}  // namespace eqd::platform
