#include "mail/event_log.h"

#include <cstdio>

#include "automation/file_system.h"
#include "automation/module_info.h"
#include "automation/value_text.h"

namespace eqd {
namespace {

constexpr const char* kCompanyFolder = "Korventa";
constexpr const char* kLevelNames[] = {"INFO", "DEBUG", "ERROR"};
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
  out += Level <= elError ? kLevelNames[Level] : "INFO";
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
    if (mode_ != kEventLogOff && headerWritten_) AppendToFile(FileName(), Line(kStopLine));
  } catch (...) {
  }
}

std::string TEventLog::FileName() const {
  const std::string folder = IncludeTrailingPathDelimiter(
      IncludeTrailingPathDelimiter(GetSpecialFolder(sfCommonAppData) + kCompanyFolder) + ModuleBaseName());
  if (!DirectoryExists(folder)) {
    ForceDirectories(folder);
    GrantEveryoneFullAccess(folder);
  }
  const platform::LocalTime t = clock_();
  char date[16];
  std::snprintf(date, sizeof date, "%04d.%02d.%02d", t.Year, t.Month, t.Day);
  return folder + ModuleBaseName() + "_" + date + ".log";
}

void TEventLog::Write(std::string_view Name, std::string_view Text, TEventLogLevel Level) {
  if (Mode() == kEventLogOff) return;
  const std::string line = Line(FormatEventLogLine(clock_(), Name, Text, Level));
  const std::string fileName = FileName();  // outside the lock: it may create the folder
  std::lock_guard guard(lock_);
  if (mode_ == kEventLogOff) return;
  if (!headerWritten_) {
    // Header and line in one append; the header counts as written only once it is.
    AppendToFile(fileName, EventLogHeader() + line);
    headerWritten_ = true;
    return;
  }
  AppendToFile(fileName, line);
}

void TEventLog::SetMode(std::uint8_t Mode) {
  std::lock_guard guard(lock_);
  const std::uint8_t old = mode_;
  mode_ = Mode;
  if (old != kEventLogOff && Mode == kEventLogOff) {
    const bool footer = headerWritten_;
    headerWritten_ = false;
    if (footer) AppendToFile(FileName(), Line(kStopLine));
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

}  // namespace eqd
