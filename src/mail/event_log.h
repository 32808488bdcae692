// The process-wide event log: one UTF-8 text file per day,
//   <common application data>/Korventa/<module>/<module>_yyyy.mm.dd.log
// (on Linux the data folder follows VLM_DODEZOZ41_DATA_DIR when it is set), lines ending
// in CR LF and only ever appended. A filter decides whether anything is written; the
// first line after the log is switched on is preceded by a header naming the operating
// system and the module, and switching the log off (or unloading the module) closes the
// run with a footer. Appends are serialized by one lock, so lines from several threads
// never mix.
//
// The folder is never reached through a symbolic link or junction; a day's file that
// cannot be appended to safely (a link, a pipe, another user's file) is replaced by one
// of this user's own beside it, and the log says so once. Writing can still fail (no
// data folder, no right to write); the error reaches the caller of WriteEventLog. A
// caller that logs on its own failure path should drop that error and report its own,
// so that the user sees what actually went wrong.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/os_version.h"

namespace eqd {

// elWarn: something the user should know although the send went on (a login in clear text).
enum TEventLogLevel : std::uint8_t { elInfo = 0, elDebug = 1, elError = 2, elWarn = 3 };

// Filter modes: off, and every level passes.
inline constexpr std::uint8_t kEventLogOff = 0;
inline constexpr std::uint8_t kEventLogAll = 3;

// Writes one line when the filter is not off. Raises EOSError or EInOutError when the
// folder or the file cannot be made or written.
void WriteEventLog(std::string_view Name, std::string_view Text, TEventLogLevel Level);
// Sets the filter. Switching from on to off appends the footer when a header was
// written; the next line after switching on again starts a new run with a new header.
void SetEventLogMode(std::uint8_t Mode);
// Today's file with its folder; the folder is created (and opened to every local user)
// when it is missing.
std::string EventLogFileName();
// Says once per process, as an INFO line, that a log file could not be appended to
// safely and where this user's lines went instead (the Note of AppendToLogFile,
// automation/file_system.h). Nothing while the log is off; never raises.
void NoteLogRedirect(const std::string& Note) noexcept;
// The operating system text of the header.
std::string OSVersionText();

// One event log; the process has one (behind the functions above), tests make their
// own with a clock of their choosing. Destroying a log that is on and has written its
// header appends the footer, as unloading the module does.
class TEventLog {
 public:
  using TClock = std::function<platform::LocalTime()>;

  explicit TEventLog(TClock clock = platform::Now);
  ~TEventLog();
  TEventLog(const TEventLog&) = delete;
  TEventLog& operator=(const TEventLog&) = delete;

  void Write(std::string_view Name, std::string_view Text, TEventLogLevel Level);
  void SetMode(std::uint8_t Mode);
  std::uint8_t Mode() const;
  std::string FileName() const;
  void NoteRedirect(const std::string& Note) noexcept;

 private:
  // The folder, never reached through a link or junction; made when missing.
  platform::TLogFolder OpenFolder() const;
  std::string DayFileName() const;
  // Appends to the day's file; when the lines go to this user's own file instead, says
  // so there once. Called with the lock held.
  void AppendLocked(const platform::TLogFolder& folder, const std::string& bytes);

  TClock clock_;
  std::uint8_t mode_ = kEventLogOff;
  bool headerWritten_ = false;
  std::set<std::string> noted_;  // the notes of NoteRedirect and AppendLocked given so far
  mutable std::mutex lock_;  // the file lock, and guard of the fields above
};

// The pieces of the file's text, kept apart so they can be checked on their own. A
// line's name and text are trimmed and their line breaks shown as "\n" and "\r".
std::string FormatEventLogLine(const platform::LocalTime& Time, std::string_view Name, std::string_view Text,
                               TEventLogLevel Level);
std::string EventLogHeader();
std::string FormatOSVersionText(const platform::OsVersion& Version);

}  // namespace eqd
