#include "mail/event_log.h"

#include <cstdio>

#include "automation/file_system.h"
#include "automation/module_info.h"
#include "automation/value_text.h"

namespace eqd {
namespace {

constexpr const char* kCompanyFolder = "Korventa";
constexpr const char* kLevelNames[] = {"INFO", "DEBUG", "ERROR", "WARN"};
const std::string kBlankLine(40, ' ');
constexpr const char* kStartLine = "============Start log=============";
constexpr const char* kStopLine = "============Stop log===============\r\n";

std::string_view Trim(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

std::string Line(std::string_view text) { return std::string(text) + "\r\n"; }

std::string FileNameOnly(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The driver module's file name with its extension. Where the driver is linked into a
// program of another name (Linux), the module's own name instead, as the folder and the
// file of the log are named.
std::string DriverModuleName() {
  const std::string file = FileNameOnly(ModuleFileName());
  const std::string base = ModuleBaseName();
  const std::size_t dot = file.rfind('.');
  return file.substr(0, dot) == base ? file : base;
}

const char* WindowsName(const platform::OsVersion& v) {
  switch (v.Major) {
    case 3:
      return "Windows NT 3";
    case 4:
      if (v.Minor == 0) return v.PlatformId == 2 ? "Windows NT 4" : "Windows 95";
      if (v.Minor == 10) return "Windows 98";
      if (v.Minor == 90) return "Windows ME";
      break;
    case 5:
      if (v.Minor == 0) return "Windows 2000";
      if (v.Minor == 1) return "Windows XP";
      if (v.Minor == 2) return "Windows 2003";
      break;
    case 6:
      if (v.Minor == 0) return "Windows Vista";
      if (v.Minor == 1) return "Windows 7";
      if (v.Minor == 2) return "Windows 8.0";
      if (v.Minor == 3) return "Windows 8.1";
      break;
    case 10:
      if (v.Minor == 0) return "Windows 10";
      break;
  }
  return "Unknown";
}

}  // namespace

std::string FormatOSVersionText(const platform::OsVersion& v) {
  if (!v.Known) return "Unknown ";
  if (!v.Windows) return v.Description.empty() ? "Unknown " : v.Description;
  std::string out = WindowsName(v);
  out += ' ';
  if (!v.ServicePack.empty()) out += v.ServicePack + " ";
  char numbers[48];
  std::snprintf(numbers, sizeof numbers, "(%u.%u.%u)", static_cast<unsigned>(v.Major),
                static_cast<unsigned>(v.Minor), static_cast<unsigned>(v.Build));
  return out + numbers;
}

std::string OSVersionText() { return FormatOSVersionText(platform::QueryOsVersion()); }

std::string FormatEventLogLine(const platform::LocalTime& t, std::string_view Name, std::string_view Text,
                               TEventLogLevel Level) {
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%04d.%02d.%02d %02d:%02d:%02d.%03d\t", t.Year, t.Month, t.Day, t.Hour,
                t.Minute, t.Second, t.Millisecond);
  std::string out = stamp;
  out += Level <= elWarn ? kLevelNames[Level] : "INFO";
  out += '\t';
  out += VisibleControls(Trim(Name));
  if (!Text.empty()) {
    out += ": \t";
    out += VisibleControls(Trim(Text));
  }
  return out;
}

std::string EventLogHeader() {
  const TModuleVersion v = GetModuleVersion();
  char version[48];
  std::snprintf(version, sizeof version, "%d.%d.%d.%d", v.Major, v.Minor, v.Release, v.Build);
  return Line(kBlankLine) + Line(kStartLine) + Line("OS version:\t" + OSVersionText()) +
         Line("Application:\t" + DriverModuleName()) + Line(std::string("App. version:\t") + version) +
         Line(kBlankLine);
}

TEventLog::TEventLog(TClock clock) : clock_(std::move(clock)) {}

TEventLog::~TEventLog() {
  // Nothing may escape a destructor: a footer that cannot be written is lost.
  try {
    std::lock_guard guard(lock_);
    if (mode_ != kEventLogOff && headerWritten_) AppendLocked(OpenFolder(), Line(kStopLine));
  } catch (...) {
  }
}

platform::TLogFolder TEventLog::OpenFolder() const {
  // Made once, by whichever user's driver comes first, and opened to every user then; a
  // folder that is there already keeps its permissions.
  return OpenLogFolder(GetSpecialFolder(sfCommonAppData), {kCompanyFolder, ModuleBaseName()},
                       platform::fcCreateShared);
}

std::string TEventLog::DayFileName() const {
  const platform::LocalTime t = clock_();
  char date[16];
  std::snprintf(date, sizeof date, "%04d.%02d.%02d", t.Year, t.Month, t.Day);
  return ModuleBaseName() + "_" + date + ".log";
}

std::string TEventLog::FileName() const { return OpenFolder().Path() + DayFileName(); }

void TEventLog::AppendLocked(const platform::TLogFolder& folder, const std::string& bytes) {
  const std::string name = DayFileName();
  const TLogAppendStruct written = AppendToLogFile(folder, name, bytes);
  if (!written.Note.empty() && noted_.insert(written.Note).second)
    (void)AppendToLogFile(folder, name, Line(FormatEventLogLine(clock_(), "WriteEventLog", written.Note, elInfo)));
}

void TEventLog::Write(std::string_view Name, std::string_view Text, TEventLogLevel Level) {
  if (Mode() == kEventLogOff) return;
  const std::string line = Line(FormatEventLogLine(clock_(), Name, Text, Level));
  const platform::TLogFolder folder = OpenFolder();  // outside the lock: it may create the folder
  std::lock_guard guard(lock_);
  if (mode_ == kEventLogOff) return;
  if (!headerWritten_) {
    // Header and line in one append; the header counts as written only once it is.
    AppendLocked(folder, EventLogHeader() + line);
    headerWritten_ = true;
    return;
  }
  AppendLocked(folder, line);
}

void TEventLog::NoteRedirect(const std::string& Note) noexcept {
  try {
    {
      std::lock_guard guard(lock_);
      if (mode_ == kEventLogOff || !noted_.insert(Note).second) return;
    }
    Write("WriteDebugLog", Note, elInfo);
  } catch (...) {
  }
}

void TEventLog::SetMode(std::uint8_t Mode) {
  std::lock_guard guard(lock_);
  const std::uint8_t old = mode_;
  mode_ = Mode;
  if (old != kEventLogOff && Mode == kEventLogOff) {
    const bool footer = headerWritten_;
    headerWritten_ = false;
    if (footer) AppendLocked(OpenFolder(), Line(kStopLine));
  }
}

std::uint8_t TEventLog::Mode() const {
  std::lock_guard guard(lock_);
  return mode_;
}

namespace {
TEventLog& ProcessEventLog() {
  static TEventLog log;
  return log;
}
}  // namespace

void WriteEventLog(std::string_view Name, std::string_view Text, TEventLogLevel Level) {
  ProcessEventLog().Write(Name, Text, Level);
}

void SetEventLogMode(std::uint8_t Mode) { ProcessEventLog().SetMode(Mode); }

std::string EventLogFileName() { return ProcessEventLog().FileName(); }

void NoteLogRedirect(const std::string& Note) noexcept { ProcessEventLog().NoteRedirect(Note); }

}  // namespace eqd
