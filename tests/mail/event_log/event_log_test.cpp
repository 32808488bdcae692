#include "mail/event_log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <thread>

#include "automation/automation_texts.h"
#include "automation/errors.h"
#include "automation/file_system.h"
#include "support/temp_dir.h"

namespace eqd {
namespace {

namespace fs = std::filesystem;

// Points the driver's data folder at a temporary folder of the test's own.
class EventLogTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("VLM_DODEZOZ41_DATA_DIR", test::Utf8Path(folder_.Path()).c_str(), 1); }
  void TearDown() override { ::unsetenv("VLM_DODEZOZ41_DATA_DIR"); }

  fs::path LogFolder() const { return folder_.Path() / "Korventa" / "vlm_dodezoz41"; }
  std::string LogText(const char* date) const {
    return test::ReadFileBytes(LogFolder() / ("vlm_dodezoz41_" + std::string(date) + ".log"));
  }

  test::TTempDir folder_;
};

// A clock the test moves by hand.
struct TManualClock {
  platform::LocalTime Now{2024, 3, 5, 10, 20, 30, 45};
  TEventLog::TClock Clock() {
    return [this] { return Now; };
  }
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t crlf; (crlf = text.find("\r\n", start)) != std::string::npos; start = crlf + 2)
    out.push_back(text.substr(start, crlf - start));
  EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
  return out;
}

TEST_F(EventLogTest, WritesAHeaderBeforeTheFirstLineOfARunAndAFooterAtItsEnd) {
  TManualClock clock;
  {
    TEventLog log(clock.Clock());
    log.Write("TDevice", "never written", elError);
    EXPECT_FALSE(fs::exists(folder_.Path() / "Korventa")) << "the log is off: no folder, no file";

    log.SetMode(kEventLogAll);
    log.Write("  TDevice ", " Start SSL negotiation command failed. ", elError);
    log.Write("TDriver", "", elInfo);
    log.SetMode(kEventLogAll);  // already on: no new header
    log.Write("Trace", "Привет", elDebug);
    log.SetMode(kEventLogOff);
    log.SetMode(kEventLogAll);
    log.Write("TDevice", "again", elError);
  }  // unloading the module closes the run
  const std::vector<std::string> lines = Lines(LogText("2024.03.05"));
  const std::string blanks(40, ' ');
  const std::vector<std::string> header{
      blanks,
      "============Start log=============",
      "OS version:\t" + OSVersionText(),
      "Application:\tvlm_dodezoz41",  // the driver's own name, not the program's it is linked into
      "App. version:\t1.0.0.1",
      blanks,
  };
  ASSERT_EQ(lines.size(), 6 + 3 + 2 + 6 + 1 + 2u);
  EXPECT_EQ(std::vector(lines.begin(), lines.begin() + 6), header);
  EXPECT_EQ(lines[6], "2024.03.05 10:20:30.045\tERROR\tTDevice: \tStart SSL negotiation command failed.");
  EXPECT_EQ(lines[7], "2024.03.05 10:20:30.045\tINFO\tTDriver");
  EXPECT_EQ(lines[8], "2024.03.05 10:20:30.045\tDEBUG\tTrace: \tПривет");
  EXPECT_EQ(lines[9], "============Stop log===============");
  EXPECT_EQ(lines[10], "");
  EXPECT_EQ(std::vector(lines.begin() + 11, lines.begin() + 17), header);
  EXPECT_EQ(lines[17], "2024.03.05 10:20:30.045\tERROR\tTDevice: \tagain");
  EXPECT_EQ(lines[18], "============Stop log===============");
  EXPECT_EQ(lines[19], "");
}

// No name or text can start a line of its own: every line break shows as text.
TEST(EventLogLineTest, LineBreaksBecomeVisibleText) {
  const platform::LocalTime t{2024, 3, 5, 10, 20, 30, 45};
  const struct {
    const char* name;
    const char* text;
    const char* line;
  } cases[] = {
      {"TDevice", "550 a\r\n550 b", "TDevice: \t550 a\\n550 b"},
      {"TDevice", "a\nb\rc", "TDevice: \ta\\nb\\rc"},
      {"TDevice", " a\n2024.03.05 10:20:30.045\tINFO\tforged\r\n", "TDevice: \ta\\n2024.03.05 10:20:30.045\tINFO\tforged"},
      {"T\rD", "", "T\\rD"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatEventLogLine(t, c.name, c.text, elError), std::string("2024.03.05 10:20:30.045\tERROR\t") + c.line);
}

TEST_F(EventLogTest, ALineAfterMidnightGoesToTheNextDaysFileWithoutAHeader) {
  TManualClock clock;
  clock.Now = {2024, 12, 31, 23, 59, 59, 999};
  TEventLog log(clock.Clock());
  log.SetMode(kEventLogAll);
  log.Write("TDevice", "before", elError);
  clock.Now = {2025, 1, 1, 0, 0, 0, 1};
  log.Write("TDevice", "after", elError);
  log.SetMode(kEventLogOff);
  EXPECT_EQ(Lines(LogText("2024.12.31")).size(), 7u);
  EXPECT_EQ(Lines(LogText("2025.01.01")),
            (std::vector<std::string>{"2025.01.01 00:00:00.001\tERROR\tTDevice: \tafter",
                                      "============Stop log===============", ""}));
}

TEST_F(EventLogTest, LinesFromManyThreadsNeverMix) {
  TEventLog log;
  log.SetMode(kEventLogAll);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&log, t] {
      for (int i = 0; i < 200; ++i) log.Write("T" + std::to_string(t), std::string(300, static_cast<char>('a' + t)), elInfo);
    });
  for (std::thread& t : threads) t.join();
  const std::string file = log.FileName();
  log.SetMode(kEventLogOff);
  const std::vector<std::string> lines = Lines(test::ReadFileBytes(file));
  ASSERT_EQ(lines.size(), 6 + 800 + 2u);
  const std::regex line(R"(\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d\.\d{3}\tINFO\tT([0-3]): \t(a{300}|b{300}|c{300}|d{300}))");
  for (std::size_t i = 6; i < 806; ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[i], m, line)) << lines[i];
    EXPECT_EQ(m[2].str()[0], 'a' + std::stoi(m[1].str()));
  }
}

TEST_F(EventLogTest, ProcessLogUsesTheDataFolderAndCanBeSwitchedOffAndOn) {
  EXPECT_EQ(EventLogFileName().rfind(test::Utf8Path(LogFolder() / "vlm_dodezoz41_"), 0), 0u);
  SetEventLogMode(kEventLogAll);
  WriteEventLog("TDevice", "Connection refused", elError);
  SetEventLogMode(kEventLogOff);  // before the folder goes: nothing is left to write at exit
  const std::vector<std::string> lines = Lines(test::ReadFileBytes(EventLogFileName()));
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_TRUE(lines[6].ends_with("\tERROR\tTDevice: \tConnection refused")) << lines[6];
}

TEST_F(EventLogTest, AFileThatCannotBeAppendedToSafelyGivesWayToTheUsersOwnAndTheLogSaysSoOnce) {
  TManualClock clock;
  fs::create_directories(LogFolder());
  const fs::path victim = folder_.Path() / "victim";
  { std::ofstream(victim) << "keep"; }
  const std::string day = "vlm_dodezoz41_2024.03.05.log";
  fs::create_symlink(victim, LogFolder() / day);
  const fs::path own = LogFolder() / LogFileNames(day)[1];
  {
    TEventLog log(clock.Clock());
    log.NoteRedirect("из трассировки");  // the log is off: not written, and not forgotten
    log.SetMode(kEventLogAll);
    log.Write("TDevice", "first", elError);
    log.Write("TDevice", "second", elError);
    log.NoteRedirect("из трассировки");
    log.NoteRedirect("из трассировки");
  }
  EXPECT_EQ(test::ReadFileBytes(victim), "keep");
  EXPECT_TRUE(fs::is_symlink(LogFolder() / day));
  const std::vector<std::string> lines = Lines(test::ReadFileBytes(own));
  ASSERT_EQ(lines.size(), 6 + 4 + 2u);
  const std::string stamp = "2024.03.05 10:20:30.045\t";
  EXPECT_EQ(lines[6], stamp + "ERROR\tTDevice: \tfirst");
  EXPECT_EQ(lines[7], stamp + "INFO\tWriteEventLog: \tФайл журнала нельзя безопасно дополнить '" +
                          test::Utf8Path(LogFolder() / day) + "': " + texts::kLinkNotFollowed +
                          "; записи этого пользователя пишутся в файл '" + test::Utf8Path(own) + "'");
  EXPECT_EQ(lines[8], stamp + "ERROR\tTDevice: \tsecond");
  EXPECT_EQ(lines[9], stamp + "INFO\tWriteDebugLog: \tиз трассировки");
  EXPECT_EQ(lines[10], "============Stop log===============");
}

TEST_F(EventLogTest, AFolderThatIsALinkIsRefusedAndLeftAlone) {
  const fs::path victim = folder_.Path() / "victim";
  fs::create_directories(victim);
  fs::permissions(victim, fs::perms::owner_all);
  fs::create_directory_symlink(victim, folder_.Path() / "Korventa");
  TEventLog log;
  log.SetMode(kEventLogAll);
  try {
    log.Write("TDevice", "x", elError);
    ADD_FAILURE() << "the link was followed";
  } catch (const EOSError& e) {
    EXPECT_NE(std::string(e.what()).find("Не удалось открыть папку журнала '" + test::Utf8Path(LogFolder()) + "/'"),
              std::string::npos)
        << e.what();
  }
  EXPECT_TRUE(fs::is_empty(victim));
  EXPECT_EQ(fs::status(victim).permissions(), fs::perms::owner_all);
  log.SetMode(kEventLogOff);
}

TEST(OSVersionTextTest, NamesWindowsVersionsByTheirNumbers) {
  const auto win = [](std::uint32_t major, std::uint32_t minor, std::uint32_t build, std::uint32_t platformId,
                      std::string sp) {
    platform::OsVersion v;
    v.Known = v.Windows = true;
    v.Major = major, v.Minor = minor, v.Build = build, v.PlatformId = platformId, v.ServicePack = std::move(sp);
    return v;
  };
  platform::OsVersion failed;
  failed.Windows = true;
  const std::pair<platform::OsVersion, std::string> cases[] = {
      {win(6, 1, 7601, 2, "Service Pack 1"), "Windows 7 Service Pack 1 (6.1.7601)"},
      {win(4, 0, 1381, 2, ""), "Windows NT 4 (4.0.1381)"},
      {win(4, 0, 950, 1, ""), "Windows 95 (4.0.950)"},
      {win(6, 2, 9200, 2, ""), "Windows 8.0 (6.2.9200)"},
      {win(10, 0, 19045, 2, ""), "Windows 10 (10.0.19045)"},
      {win(5, 5, 1, 2, ""), "Unknown (5.5.1)"},
      {failed, "Unknown "},
  };
  for (const auto& [version, text] : cases) EXPECT_EQ(FormatOSVersionText(version), text);
  EXPECT_FALSE(OSVersionText().empty());
}

}  // namespace
}  // namespace eqd
