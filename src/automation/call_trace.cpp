#include "automation/call_trace.h"

#include <cstdio>

#include "automation/base_object.h"
#include "automation/file_system.h"
#include "automation/format_settings.h"
#include "automation/module_info.h"
#include "automation/value_text.h"
#include "automation/windows1251.h"

namespace eqd {
namespace {

std::string DateText(const platform::LocalTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d.%02d.%02d", t.Year % 10000, t.Month % 100, t.Day % 100);
  return buf;
}

std::string Two(int v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", v % 100);
  return buf;
}

}  // namespace

std::string DebugLogFileName(const std::string& Folder, const platform::LocalTime& Date) {
  return IncludeTrailingPathDelimiter(Folder) + "Debug_" + DateText(Date) + ".log";
}

std::string FormatDebugLogLine(const platform::LocalTime& Time, std::string_view TimeSeparator,
                               std::string_view InstanceID, std::string_view Name, std::string_view Text,
                               bool NameOnly) {
  char ms[8];
  std::snprintf(ms, sizeof ms, "%03d", Time.Millisecond % 1000);
  std::string line = DateText(Time);
  line += ' ';
  line += Two(Time.Hour);
  line += TimeSeparator;
  line += Two(Time.Minute);
  line += TimeSeparator;
  line += Two(Time.Second);
  line += '.';
  line += ms;
  line += " Inst.: ";
  line += InstanceID;
  line += '\t';
  line += VisibleControls(Name);
  if (!NameOnly) {
    line += ": \t";
    line += VisibleControls(Text);
  }
  return line;
}

namespace {

// The folder is made once, by whichever user's driver comes first, and opened to every
// user then; a folder that is there already keeps its permissions.
platform::TLogFolder OpenDefaultDebugLogFolder() {
  return OpenLogFolder(GetSpecialFolder(sfCommonAppData), {ModuleBaseName()}, platform::fcCreateShared);
}

}  // namespace

std::string DefaultDebugLogDir() { return OpenDefaultDebugLogFolder().Path(); }

void TBaseObject::SetDebugLogEnabled(bool Value) {
  if (Value == FDebugLogEnabled) return;
  FDebugLogEnabled = Value;
  if (Value) BeginDebugLog();
}

void TBaseObject::WriteDebugLog(std::string_view Name, std::string_view Text, bool NameOnly) {
  if (!FDebugLogEnabled) return;
  // The folder is chosen anew for every line: a device folder removed meanwhile sends
  // the following lines to the default folder.
  platform::TLogFolder folder;
  if (FDebugLogDir.empty() || folder.Open(FDebugLogDir, {}, platform::fcOpenOnly) != 0)
    folder = OpenDefaultDebugLogFolder();
  const std::string file = DebugLogFileName("", FTraceClock());
  const std::string line = FormatDebugLogLine(FTraceClock(), CurrentFormatSettings()->TimeSeparator, FInstanceID, Name,
                                              Text, NameOnly);
  const TLogAppendStruct written = AppendToLogFile(folder, file, Utf8ToWindows1251(line) + "\r\n");
  if (!written.Note.empty()) DebugLogRedirected(written.Note);
}

}  // namespace eqd
