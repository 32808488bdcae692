// Settings as eqhost hands them to the driver: read from a JSON settings file
// ({"SmtpServerName": "smtp.example.com", "SmtpServerPort": "587", ...}) and from
// --set ID=VALUE options, checked against the driver's own settings table and
// packed into the InData of "SetSettings".
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "automation/value_text.h"
#include "automation/variant.h"

namespace eqd {

struct TSettingValueStruct {
  std::string ID;
  Variant Value;
};

// One column of the table "GetSettings" returns.
struct THostSettingStruct {
  std::string ID;
  Variant Value;
  std::string TypeName;  // "Number", "String", "Date" or "Boolean"
  Variant Default;
  bool ReadOnly = false;
  std::string Name;
  std::string Description;
  bool Secret = false;  // a password: shown masked, never repeated in an error
};

// The file's entries in the file's order. Raises EHostError when the file cannot be
// read, is no JSON, or is not one JSON object; EConvertError for a value with no
// automation form. No error repeats text of the file: a value may be a password.
std::vector<TSettingValueStruct> LoadSettingsFile(const std::string& path);

// The settings table from the OutData of "GetSettings"; EHostError when it has not
// the shape [V], V[0..6, 0..N-1]. A row is Secret when isSecret says so of its ID.
std::vector<THostSettingStruct> ReadSettingsTable(const Variant& outData, const TIsSecretSetting& isSecret = {});

// The value typed on the command line for a setting of the given type: text for
// "String" and "Date", an integer or a decimal number (with a point) for "Number",
// true/false/1/0 for "Boolean". EHostError for text that is not of the type.
Variant SettingTextToValue(const std::string& typeName, const std::string& text);

// File values, then --set values, each checked against the table (IDs compare with
// ASCII case folding and are written as the table spells them). An ID the driver
// does not have is an EHostError: a typo must not pass silently; so is a value not of
// the setting's type, shown in the error unless the setting is Secret.
std::vector<TSettingValueStruct> ResolveSettings(const std::vector<THostSettingStruct>& table,
                                                 const std::vector<TSettingValueStruct>& fileValues,
                                                 const std::vector<std::pair<std::string, std::string>>& sets);

// InData for "SetSettings": [S] with S[0, j] the ID and S[1, j] the value of entry j.
Variant SetSettingsInData(const std::vector<TSettingValueStruct>& values);

}  // namespace eqd
