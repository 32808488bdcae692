// The call trace ("debug log"): one Windows-1251 text file per day in which every call
// into a driver object and every event it reports is a line tagged with the object's
// instance GUID. TBaseObject::WriteDebugLog writes the lines; these are its pieces.
#pragma once

#include <string>
#include <string_view>

#include "platform/clock.h"

namespace eqd {

// "<folder>Debug_yyyy.mm.dd.log"; a missing trailing delimiter is added to the folder.
std::string DebugLogFileName(const std::string& Folder, const platform::LocalTime& Date);

// One line without its line end, in UTF-8:
// "yyyy.mm.dd hh:nn:ss.zzz Inst.: <instance>\t<name>" and, unless NameOnly, ": \t<text>".
// The colons of the time are the locale's time separator; line breaks in the name and
// the text, and every other control character, are shown as VisibleControls (value_text.h)
// shows them.
std::string FormatDebugLogLine(const platform::LocalTime& Time, std::string_view TimeSeparator,
                               std::string_view InstanceID, std::string_view Name, std::string_view Text,
                               bool NameOnly);

// The common application data folder + the module's base name + delimiter, never
// reached through a link or junction; created and opened to every local user when it is
// missing, used as it is otherwise (EOSError when it cannot be opened or made).
std::string DefaultDebugLogDir();

}  // namespace eqd
