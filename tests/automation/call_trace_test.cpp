#include "automation/call_trace.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "automation/base_object.h"
#include "automation/errors.h"
#include "automation/file_system.h"
#include "automation/windows1251.h"
#include "format_fixture.h"
#include "scratch_folder.h"

namespace eqd {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr platform::LocalTime kNoon{2024, 3, 5, 12, 34, 56, 7};

class TracedObject : public TBaseObject {
 public:
  TracedObject() {
    SetTraceClock([] { return kNoon; });
    AddPublicMethod("Ping", [this](Variant&, Variant& out, std::int32_t, std::string&) {
      if (OnPing) OnPing();
      out = Variant("pong");
      return 0;
    });
    AddPrivateMethod("Fail", [](SafeArray&) -> Variant { throw EDriverError("сбой"); });
  }
  int BeginCount = 0;
  std::function<void()> OnPing;

 protected:
  void BeginDebugLog() override { ++BeginCount; }
};

class CallTraceTest : public testing::RussianFormatsTest {
 protected:
  fs::path DefaultFile() const { return folder_.Data() / "vlm_dodezoz41" / "Debug_2024.03.05.log"; }
  // The lines of a trace file, decoded, without the time stamp and instance prefix (a
  // text with a line break of its own continues on a line without one).
  std::vector<std::string> Lines(const fs::path& file) const {
    const std::string text = testing::ReadFile(file);
    std::vector<std::string> out;
    const std::string prefix = "2024.03.05 12:34:56.007 Inst.: " + obj_.InstanceID() + "\t";
    std::size_t pos = 0;
    for (std::size_t end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2) {
      std::string line = Windows1251ToUtf8(text.substr(pos, end - pos));
      out.push_back(line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : "(continued) " + line);
    }
    EXPECT_EQ(pos, text.size()) << "every line ends with CR LF";
    return out;
  }
  std::int32_t Ping(std::vector<Variant> args = {Variant::Array({Variant(1)}), Variant(), Variant(5)}) {
    SafeArray p({ArrayBound{0, static_cast<std::uint32_t>(args.size())}});
    p.Elements() = std::move(args);
    Variant r;
    return obj_.CallMethod(0, r, p);
  }

  testing::ScratchFolder folder_;
  TracedObject obj_;
};

TEST_F(CallTraceTest, OffWritesNothingAndCreatesNoFolder) {
  EXPECT_EQ(Ping(), hrOk);
  obj_.WriteDebugLog("x", "y");
  EXPECT_FALSE(fs::exists(folder_.Data()));
}

TEST_F(CallTraceTest, CallsAreTracedInTheDefaultFolderInWindows1251) {
  obj_.SetDebugLogEnabled(true);
  EXPECT_EQ(Ping(), hrOk);
  Ping({Variant(), Variant(), Variant(1.5)});
  obj_.WriteDebugLog("Имя", "");
  obj_.WriteDebugLog("Заголовок", "не пишется", true);
  obj_.WriteDebugLog("multi", "a\r\nb ✓");
  EXPECT_THAT(Lines(DefaultFile()),
              ElementsAre("> Ping: \tInData: [(1)]", "< Ping: \tResult=True; OutData: 'pong'",
                          "> Ping: \tInData: EMPTY", "< Ping: \tResult=EMPTY; OutData: EMPTY", "Имя: \t",
                          "Заголовок", "multi: \ta\\nb ?"));
  // The file is Windows-1251 and the per-machine folder is open to every local user.
  EXPECT_THAT(testing::ReadFile(DefaultFile()), HasSubstr("\xC8\xEC\xFF: \t\r\n"));
  struct stat st {};
  ASSERT_EQ(::stat((folder_.Data() / "vlm_dodezoz41").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 01777);
}

TEST_F(CallTraceTest, ItsOwnFolderWhileItExistsAndTheLocaleTimeSeparator) {
  const fs::path own = folder_.Path() / "device";
  fs::create_directory(own);
  obj_.SetDebugLogDir(own.string());  // no trailing delimiter: one is added
  obj_.SetDebugLogEnabled(true);
  obj_.WriteDebugLog("first", "1");
  fs::remove_all(own);
  TFormatSettings dots = testing::RussianFormats();
  dots.TimeSeparator = ".";
  SetFormatSettings(dots);
  obj_.WriteDebugLog("second", "2");
  EXPECT_FALSE(fs::exists(own));
  EXPECT_THAT(testing::ReadFile(DefaultFile()), HasSubstr("2024.03.05 12.34.56.007 Inst.: "));
}

TEST_F(CallTraceTest, SwitchStartsTheHeaderOncePerRun) {
  obj_.SetDebugLogEnabled(true);
  obj_.SetDebugLogEnabled(true);
  EXPECT_EQ(obj_.BeginCount, 1);
  obj_.SetDebugLogEnabled(false);
  obj_.SetDebugLogEnabled(true);
  EXPECT_EQ(obj_.BeginCount, 2);
}

TEST_F(CallTraceTest, TheStateAtTheStartOfACallDecidesItsLines) {
  obj_.OnPing = [this] { obj_.SetDebugLogEnabled(true); };
  Ping();  // switched on inside: no lines of its own
  EXPECT_FALSE(fs::exists(DefaultFile()));
  obj_.OnPing = [this] { obj_.SetDebugLogEnabled(false); };
  Ping();  // switched off inside: the opening line only
  EXPECT_THAT(Lines(DefaultFile()), ElementsAre("> Ping: \tInData: [(1)]"));
}

TEST_F(CallTraceTest, PrivateErrorsAreTracedAndRaised) {
  obj_.SetDebugLogEnabled(true);
  SafeArray p({ArrayBound{0, 1}});
  p.Elements()[0] = Variant("arg");
  Variant r;
  EXPECT_THROW(obj_.CallMethod(1, r, p), EDriverError);
  EXPECT_THAT(Lines(DefaultFile()),
              ElementsAre("> Fail: \tParams: [('arg')]", "EXCEPTION: \tEDriverError, CallMethod(): сбой"));
}

TEST_F(CallTraceTest, WriteFailuresAreRaisedAndLinksAreNotFollowed) {
  obj_.SetDebugLogEnabled(true);
  const fs::path dir = folder_.Data() / "vlm_dodezoz41";
  fs::create_directories(dir);
  const fs::path victim = folder_.Path() / "victim";
  { std::ofstream(victim) << "keep"; }
  fs::create_symlink(victim, DefaultFile());
  // The line goes to this user's own file beside the link; the call goes on.
  obj_.WriteDebugLog("x", "y");
  EXPECT_EQ(testing::ReadFile(victim), "keep");
  const std::vector<std::string> names = LogFileNames(DefaultFile().filename().string());
  EXPECT_THAT(Lines(dir / names[1]), ElementsAre("x: \ty"));
  EXPECT_EQ(Ping(), hrOk);

  // Only when no name can be used is the failure raised: in a call it is the call's
  // failure, raised to the COM layer.
  for (const std::string& name : names) {
    fs::remove(dir / name);
    fs::create_directory(dir / name);
  }
  try {
    obj_.WriteDebugLog("x", "y");
    ADD_FAILURE() << "nothing could be written, yet no error was raised";
  } catch (const EInOutError& e) {
    EXPECT_THAT(e.what(), HasSubstr("Не удалось записать в файл '" + DefaultFile().string() + "'"));
  }
  EXPECT_THROW(Ping(), EInOutError);
}

TEST(CallTraceFormatTest, FileNameAndLineForm) {
  const platform::LocalTime t{2025, 1, 9, 7, 5, 3, 42};
  EXPECT_EQ(DebugLogFileName("/x/", t), "/x/Debug_2025.01.09.log");
  EXPECT_EQ(DebugLogFileName("/x", t), "/x/Debug_2025.01.09.log");
  EXPECT_EQ(FormatDebugLogLine(t, ":", "{G}", "N", "T", false), "2025.01.09 07:05:03.042 Inst.: {G}\tN: \tT");
  EXPECT_EQ(FormatDebugLogLine(t, ":", "{G}", "N", "T", true), "2025.01.09 07:05:03.042 Inst.: {G}\tN");
}

// No name or text can start a line of its own: every line break shows as text.
TEST(CallTraceFormatTest, LineBreaksBecomeVisibleText) {
  const platform::LocalTime t{2025, 1, 9, 7, 5, 3, 42};
  const struct {
    const char* name;
    const char* text;
    const char* line;
  } cases[] = {
      {"N", "a\nb", "N: \ta\\nb"},
      {"N", "a\rb", "N: \ta\\rb"},
      {"N", "a\r\nb", "N: \ta\\nb"},
      {"N", "\n\r\r\n\n\r", "N: \t\\n\\r\\n\\n\\r"},
      {"x\n2025.01.09 07:05:03.042 Inst.: {F}\tforged", "t",
       "x\\n2025.01.09 07:05:03.042 Inst.: {F}\tforged: \tt"},
      {"N", "'a\\nb'", "N: \t'a\\nb'"},  // a backslash already there stays as it is
  };
  for (const auto& c : cases) {
    const std::string line = FormatDebugLogLine(t, ":", "{G}", c.name, c.text, false);
    EXPECT_EQ(line, std::string("2025.01.09 07:05:03.042 Inst.: {G}\t") + c.line);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
  }
}

}  // namespace
}  // namespace eqd
