// Helper programs the tests start (the loopback SMTP servers, the message reader):
// a child process that is stopped with SIGTERM when its owner goes, and a run that
// captures what the program prints. Tests only; the servers run on Linux.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace eqd::test {

// Debian's own interpreter: the packaged aiosmtpd lives there.
inline constexpr const char* kPython = "/usr/bin/python3";

class TChildProcess {
 public:
  explicit TChildProcess(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // What the child prints goes nowhere; its complaints (stderr) stay in the test output.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
  }
  ~TChildProcess() { Stop(); }
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  bool Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    return true;
  }

  // SIGTERM, then SIGKILL when it has not ended within five seconds.
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

// Runs a command line (arguments already quoted for the shell) and returns its output;
// raises when it fails.
inline std::string RunAndCapture(const std::string& commandLine) {
  FILE* pipe = popen(commandLine.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " + commandLine);
  std::string output;
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  const int status = pclose(pipe);
  if (status != 0) throw std::runtime_error("failed (" + std::to_string(status) + "): " + commandLine);
  return output;
}

// Single-quotes a word for the shell.
inline std::string ShellQuote(const std::string& word) {
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace eqd::test
