// TBaseObject: the base of every driver object. It owns the method table through which
// the host's late-bound calls reach ordinary handlers, the settings list and the call
// trace. Plain C++: the COM layer maps GetIDsOfNames to FindMethod and Invoke to
// CallMethod.
#pragma once

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/hresults.h"
#include "automation/value_text.h"
#include "automation/variant.h"
#include "platform/clock.h"

namespace eqd {

// The host's private convention (Init, Open, Close): the handler gets the parameter
// array (one dimension, zero-based, by reference) and its result goes to the host
// unchanged.
using TPrivateMethod = std::function<Variant(SafeArray& paParams)>;
// The public convention: InData, OutData (the output), TimeOut and a description; the
// result is a result code (0: success).
using TPublicMethod =
    std::function<std::int32_t(Variant& InData, Variant& OutData, std::int32_t TimeOut, std::string& ResultDescription)>;

struct TMethodStruct {
  std::string Name;         // as first registered
  bool IsPublic = false;    // PublicMethod is the handler, else PrivateMethod
  bool IsSpecific = false;  // a method of the device class rather than a standard one
  TPrivateMethod PrivateMethod;
  TPublicMethod PublicMethod;
  // A method through which the host recovers ("Close", "Disable", ...): a trace line of
  // its call that cannot be written neither stops it nor stops the calls after it.
  bool RunsDespiteTraceFailure = false;
};
// Entries in registration order; an entry's position is its DISPID.
using TMethodArray = std::vector<TMethodStruct>;

struct TSettingStruct {
  std::string ID;          // unique under ASCII case folding; keeps its first spelling
  Variant Value;           // as last stored, not converted to ValueType
  TDataType ValueType = dtString;
  Variant Default;
  bool ReadOnly = false;   // published to the host; nothing here refuses a change for it
  std::string Name;        // short caption
  std::string Description;
  bool Secret = false;     // a password: its value never reaches the trace
};
// A reference to one entry of the settings list; entries never move or go away while
// the object lives.
using PSettingStruct = TSettingStruct*;

class TBaseObject {
 public:
  TBaseObject();
  virtual ~TBaseObject();
  TBaseObject(const TBaseObject&) = delete;
  TBaseObject& operator=(const TBaseObject&) = delete;

  // ---- method table ----
  // The first entry with that name (ASCII case folding), or a new empty one at the end.
  TMethodStruct& FindOrAddMethod(std::string_view Name);
  // Registering a name again replaces its flags and handler in place; its DISPID stays.
  void AddPrivateMethod(std::string_view Name, TPrivateMethod Handler);
  void AddPublicMethod(std::string_view Name, TPublicMethod Handler);
  void AddSpecificMethod(std::string_view Name, TPublicMethod Handler);
  // The DISPID of the first method with that name (ASCII case folding), or -1.
  std::int32_t FindMethod(std::string_view Name) const;
  const TMethodArray& Methods() const { return FMethodList; }

  // Calls method DispID with the parameter array of the host's positional arguments.
  // Public methods: Params = [InData, OutData, TimeOut]; Result becomes a Boolean (true
  // exactly for code 0) and Params[1] the output (on failure [code, description]); a
  // handler's error becomes code 1001 with its message. A TimeOut that is missing or not
  // an integer type gives hrInvalidArg without calling the handler. Private methods:
  // Result is the handler's value; a handler's error is traced and raised on. A DispID
  // outside the table gives hrFail. Trace write failures are raised; for a method
  // that RunsDespiteTraceFailure the call runs to its end first, and the trace, which
  // could not be written, is switched off.
  std::int32_t CallMethod(std::int32_t DispID, Variant& Result, SafeArray& Params);

  // The table's message for a result code.
  virtual std::string GetDriverResultDescription(std::int32_t ResultCode);

  // ---- settings list ----
  // Registers a setting; registering an ID again sets its value and default to Default
  // and replaces ReadOnly and Description, keeping its type, name, spelling and place.
  void AddSetting(std::string_view ID, TDataType ValueType, const Variant& Default, bool ReadOnly, std::string_view Name,
                  std::string_view Description);
  // The value (or, with Default true, the default) of the setting; Empty for an unknown ID.
  Variant GetSettingValue(std::string_view ID, bool Default = false) const;
  // The current value converted (Empty: false, 0, empty text); EConvertError when it
  // does not convert.
  bool GetSettingValueBool(std::string_view ID) const;
  std::int32_t GetSettingValueInt(std::string_view ID) const;
  Currency GetSettingValueCurr(std::string_view ID) const;
  double GetSettingValueDbl(std::string_view ID) const;
  std::string GetSettingValueStr(std::string_view ID) const;
  DateValue GetSettingValueDate(std::string_view ID) const;  // the value read as a number
  bool GetSettingReadOnly(std::string_view ID) const;        // false for an unknown ID
  // Stores the value as it is; an unknown ID is ignored.
  void SetSettingValue(std::string_view ID, const Variant& Value);
  void SetAllSettingsDefault();
  // Marks the setting as a secret: wherever the trace would show its value, it shows
  // MaskedSecret (value_text.h) instead. An unknown ID is ignored.
  void SetSettingSecret(std::string_view ID, bool Secret = true);
  bool IsSecretSetting(std::string_view ID) const;  // false for an unknown ID
  std::int32_t SettingsCount() const { return static_cast<std::int32_t>(FSettingList.size()); }
  PSettingStruct GetSetting(std::int32_t Index);  // nullptr outside 0..SettingsCount()-1
  PSettingStruct FindSetting(std::string_view ID);  // nullptr for an unknown ID

  // ---- call trace ----
  bool DebugLogEnabled() const { return FDebugLogEnabled; }
  // Switching the trace on calls BeginDebugLog(); setting the current value does nothing.
  void SetDebugLogEnabled(bool Value);
  // One line of the day's trace file when the trace is on: time stamp, instance GUID,
  // Name, and ": \t" + Text unless NameOnly. A day's file that cannot be appended to
  // safely is replaced by one of this user's own beside it (DebugLogRedirected). EOSError
  // when the folder cannot be opened, EInOutError when no file can be written.
  void WriteDebugLog(std::string_view Name, std::string_view Text, bool NameOnly = false);
  // The trace folder: DebugLogDir() when it names an existing folder, else the default one.
  const std::string& DebugLogDir() const { return FDebugLogDir; }
  void SetDebugLogDir(std::string Folder) { FDebugLogDir = std::move(Folder); }
  // The trace text of a value (ValueToText) with the secret settings hidden.
  std::string TraceText(const Variant& Value) const;
  std::string TraceText(const SafeArray& Value) const;
  const std::string& InstanceID() const { return FInstanceID; }
  // The clock of the trace (its file's date and its time stamps); tests fix it.
  void SetTraceClock(std::function<platform::LocalTime()> Clock) { FTraceClock = std::move(Clock); }

 protected:
  // Called when the trace is switched on, after the flag is set; the device writes its
  // debug-log header here.
  virtual void BeginDebugLog() {}
  // Called after a trace line went to this user's own file because the day's file could
  // not be appended to safely (AppendToLogFile, file_system.h); Note says which file, why
  // and where the line went. Must not raise.
  virtual void DebugLogRedirected(const std::string& Note) { (void)Note; }

  TMethodArray FMethodList;
  Variant FExtData;  // cleared before each public call
  std::string FInstanceID;
  bool FDebugLogEnabled = false;
  std::string FDebugLogDir;
  std::deque<TSettingStruct> FSettingList;  // a deque: references to entries stay valid
  std::function<platform::LocalTime()> FTraceClock;

 private:
  const TSettingStruct* FindSettingEntry(std::string_view ID) const;
  std::int32_t CallPublic(const TMethodStruct& Method, Variant& Result, SafeArray& Params, bool Trace);
  void CallPrivate(const TMethodStruct& Method, Variant& Result, SafeArray& Params, bool Trace);
  // One trace line of a call to Method; see CallMethod for what a failure does.
  void TraceCall(const TMethodStruct& Method, std::exception_ptr& Failure, std::string_view Name,
                 std::string_view Text);
};

}  // namespace eqd
