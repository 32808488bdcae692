// The process's event log written from many threads and from several processes at once:
// every line arrives whole, none is lost, and each log run (one per process here) has
// exactly one header and one footer.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <thread>
#include <vector>

#include "mail/event_log.h"
#include "support/temp_dir.h"

namespace eqd {
namespace {

namespace fs = std::filesystem;

constexpr int kLinesPerWriter = 2000;

class EventLogConcurrencyTest : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("VLM_DODEZOZ41_DATA_DIR", test::Utf8Path(folder_.Path()).c_str(), 1); }
  void TearDown() override {
    SetEventLogMode(kEventLogOff);
    ::unsetenv("VLM_DODEZOZ41_DATA_DIR");
  }

  // Writer `w` writes its numbered lines; the text is long enough that a torn write
  // would show.
  static void WriteLines(int w) {
    for (int i = 0; i < kLinesPerWriter; ++i)
      WriteEventLog("W" + std::to_string(w), std::to_string(i) + " " + std::string(200, static_cast<char>('a' + w)),
                    elInfo);
  }

  // Every writer's lines are all there, whole, once each; `runs` headers and footers.
  void ExpectAllLines(int writers, int runs) {
    std::string text;
    for (const auto& e : fs::directory_iterator(folder_.Path() / "Korventa" / "vlm_dodezoz41"))
      text += test::ReadFileBytes(e.path());  // a run over midnight goes on in the next day's file
    const std::regex line(R"(\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d\.\d{3}\tINFO\tW(\d): \t(\d+) ([a-h])\3{199})");
    std::map<int, std::set<int>> seen;
    int headers = 0, footers = 0;
    std::size_t start = 0;
    for (std::size_t crlf; (crlf = text.find("\r\n", start)) != std::string::npos; start = crlf + 2) {
      const std::string l = text.substr(start, crlf - start);
      if (l == "============Start log=============") ++headers;
      if (l == "============Stop log===============") ++footers;
      if (l.find("\tINFO\t") == std::string::npos) continue;
      std::smatch m;
      ASSERT_TRUE(std::regex_match(l, m, line)) << "a torn or mixed line: " << l;
      const int w = std::stoi(m[1].str());
      ASSERT_EQ(m[3].str()[0], 'a' + w) << l;  // the writer's own letter
      ASSERT_TRUE(seen[w].insert(std::stoi(m[2].str())).second) << "twice: " << l;
    }
    EXPECT_EQ(start, text.size()) << "every line ends with CR LF";
    EXPECT_EQ(headers, runs);
    EXPECT_EQ(footers, runs);
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(writers));
    for (const auto& [w, numbers] : seen) EXPECT_EQ(numbers.size(), static_cast<std::size_t>(kLinesPerWriter)) << w;
  }

  test::TTempDir folder_{"eqd-event-log-"};
};

TEST_F(EventLogConcurrencyTest, EightThreadsAtOnce) {
  SetEventLogMode(kEventLogAll);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) threads.emplace_back(WriteLines, t);
  for (std::thread& t : threads) t.join();
  SetEventLogMode(kEventLogOff);
  ExpectAllLines(8, 1);
}

TEST_F(EventLogConcurrencyTest, FourProcessesAtOnce) {
  std::vector<pid_t> children;
  for (int p = 0; p < 4; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      // The child's own log run: header, its lines, footer.
      int rc = 0;
      try {
        SetEventLogMode(kEventLogAll);
        WriteLines(p);
        SetEventLogMode(kEventLogOff);
      } catch (...) {
        rc = 1;
      }
      ::_exit(rc);
    }
    children.push_back(pid);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (const pid_t pid : children) {
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        ADD_FAILURE() << "a writer process did not finish in time";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  ExpectAllLines(4, 4);
}

}  // namespace
}  // namespace eqd
