#include "host/host_commands.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

#include "automation/errors.h"
#include "automation/value_text.h"
#include "host/call_lines.h"
#include "host/host_error.h"
#include "host/host_files.h"
#include "host/host_texts.h"
#include "host/json_variant.h"
#include "host/login_command.h"
#include "host/settings_file.h"
#include "mail/codecs/base64.h"

namespace eqd {
namespace {

// A driver call that failed: what the user is told.
struct ECallFailed : EDriverError {
  explicit ECallFailed(const std::string& message) : EDriverError(message, "ECallFailed") {}
};

const char* const kDeviceInfoFields[] = {"TypeName",      "ModelID",     "ModelName",         "MajorVersion",
                                         "MinorVersion",  "BuildVersion", "ProcessorName",     "ProcessorType",
                                         "IsSettingsDlgExist", "Description", "DeveloperName", "CI_email",
                                         "CI_www",        "CI_Phones",   "CI_address"};

// Plain text of a value for tables: strings as they are, other values in their JSON form.
std::string DisplayText(const Variant& v) {
  const Variant& value = v.Deref();
  if (value.Vt() == VT_BSTR) return value.StrValue();
  if (value.Vt() == VT_BOOL) return value.BoolValue() ? "True" : "False";
  if (value.IsEmpty()) return "";
  const Json j = VariantToJson(value);
  return j.is_object() && j.contains("text") ? j["text"].get<std::string>() : j.dump();
}

// Width of UTF-8 text in characters, for lining up columns.
std::size_t TextWidth(const std::string& s) {
  std::size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

// The text of a --set-from-file: the file's (or standard input's) bytes without the one
// line end an editor or `echo` puts after the last line.
std::string ValueFromFile(const std::string& path, std::istream& in) {
  std::string text;
  if (path == "-") {
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } else {
    text = ReadHostFile(path);
  }
  if (text.ends_with('\n')) text.pop_back();
  if (text.ends_with('\r')) text.pop_back();
  return text;
}

class THostSession {
 public:
  THostSession(DispatchObject& driver, const DispatchPtr& manager, const TIsSecretSetting& isSecret)
      : FDriver(driver), FManager(manager), FIsSecret(isSecret) {}

  // A public method: InData, OutData, TimeOut 0. Returns OutData; a false result is
  // ECallFailed with the method, code and description.
  Variant Call(const std::string& method, Variant inData = Variant()) {
    std::vector<Variant> args{std::move(inData), Variant(), Variant(std::int32_t{0})};
    const Variant result = Invoke(method, args);
    if (result.Deref().Vt() == VT_BOOL && result.Deref().BoolValue()) return args[1];
    std::string code = "?", description;
    if (const Variant& out = args[1].Deref(); out.IsArray() && out.ArrayValue() && out.ArrayValue()->ElementCount() >= 2) {
      code = DisplayText(out.ArrayValue()->Elements()[0]);
      description = DisplayText(out.ArrayValue()->Elements()[1]);
    }
    throw ECallFailed(method + ": " + code + " " + description);
  }

  // "Init", "Open": (argument, description by reference) -> Boolean.
  void CallPrivate(const std::string& method, Variant argument) {
    std::vector<Variant> args{std::move(argument), Variant()};
    const Variant result = Invoke(method, args);
    if (!(result.Deref().Vt() == VT_BOOL && result.Deref().BoolValue()))
      throw ECallFailed(method + ": " + DisplayText(args[1]));
  }

  void Close() {
    std::vector<Variant> args;
    Invoke("Close", args);
  }

  void Start(const std::string& deviceId) {
    CallPrivate("Init", Variant(FManager));
    CallPrivate("Open", Variant(deviceId));
  }

  std::vector<THostSettingStruct> Settings() { return ReadSettingsTable(Call("GetSettings"), FIsSecret); }

  // The settings file, the --set options, then the --set-from-file options, checked
  // against the driver's table.
  void ApplySettings(const THostOptionsStruct& o, std::istream& in) {
    if (o.SettingsFile.empty() && o.Sets.empty() && o.SetsFromFiles.empty()) return;
    const auto fileValues = o.SettingsFile.empty() ? std::vector<TSettingValueStruct>{} : LoadSettingsFile(o.SettingsFile);
    auto sets = o.Sets;
    for (const auto& [id, path] : o.SetsFromFiles) sets.emplace_back(id, ValueFromFile(path, in));
    const auto values = ResolveSettings(Settings(), fileValues, sets);
    if (!values.empty()) Call("SetSettings", SetSettingsInData(values));
  }

 private:
  Variant Invoke(const std::string& method, std::vector<Variant>& args) {
    try {
      return FDriver.Invoke(method, args);
    } catch (const EHostError&) {
      throw;
    } catch (const std::exception& e) {
      throw ECallFailed(method + ": " + ErrorMessage(e));
    }
  }

  DispatchObject& FDriver;
  DispatchPtr FManager;
  TIsSecretSetting FIsSecret;
};

int Send(const THostOptionsStruct& o, THostSession& s, std::istream& in) {
  // Read every input file before the driver is touched, so a typo costs no half-done send.
  std::string body = o.Body.value_or("");
  if (o.BodyFile) body = ReadHostFile(*o.BodyFile);
  std::vector<std::pair<std::string, std::string>> base64;
  for (const auto& a : o.AttachBase64) base64.emplace_back(a.FileName, Base64Encode(ReadHostFile(a.SourcePath), 76));

  s.Start(o.DeviceID);
  s.ApplySettings(o, in);
  s.Call("Enable");
  for (const auto& a : o.To) s.Call("AddRecepient", Variant::Array({Variant(a)}));
  for (const auto& a : o.Cc) s.Call("AddCcRecepient", Variant::Array({Variant(a)}));
  for (const auto& a : o.Bcc) s.Call("AddBccRecepient", Variant::Array({Variant(a)}));
  for (const auto& path : o.Attach) s.Call("AddAttachment", Variant::Array({Variant(path), Variant(""), Variant("")}));
  for (const auto& a : o.Inline)
    s.Call("AddAttachment", Variant::Array({Variant(a.FilePath), Variant(a.ContentType), Variant(a.ContentID)}));
  for (const auto& [name, text] : base64)
    s.Call("AddAttachmentBase64", Variant::Array({Variant(name), Variant(text), Variant(""), Variant("")}));
  // The lists collected above travel as non-array values, as a host that uses the Add methods passes them.
  s.Call("SendMail", Variant::Array({Variant(), Variant(), Variant(), Variant(o.Subject.value_or("")), Variant(body),
                                     Variant()}));
  s.Call("Disable");
  s.Close();
  return 0;
}

int Check(const THostOptionsStruct& o, THostSession& s, DispatchObject& driver, const TConnectionTest& testConnection,
          THostStreamsStruct io) {
  if (o.Connect && !testConnection) throw EHostError(host_texts::kNoConnectionTest);
  s.Start(o.DeviceID);
  s.ApplySettings(o, io.In);
  s.Call("Enable");
  s.Call("CheckHealth");
  io.Out << "CheckHealth: OK" << std::endl;
  if (o.Connect) {
    std::string description;
    if (!testConnection(driver, description)) throw ECallFailed("TestConnection: " + description);
    io.Out << "TestConnection: OK" << std::endl;
  }
  s.Call("Disable");
  s.Close();
  return 0;
}

int ShowSettings(const THostOptionsStruct& o, THostSession& s, THostStreamsStruct io) {
  s.ApplySettings(o, io.In);
  auto table = s.Settings();
  std::ostream& out = io.Out;
  if (!o.ShowSecrets)
    for (auto& r : table)
      if (r.Secret) {
        r.Value = MaskedSecret(r.Value);
        r.Default = MaskedSecret(r.Default);
      }
  if (o.Json) {
    Json rows = Json::array();
    for (const auto& r : table)
      rows.push_back(Json{{"id", r.ID},           {"value", VariantToJson(r.Value)}, {"type", r.TypeName},
                          {"default", VariantToJson(r.Default)}, {"readOnly", r.ReadOnly},
                          {"name", r.Name},       {"description", r.Description}});
    out << rows.dump(2, ' ', false, Json::error_handler_t::replace) << std::endl;
    return 0;
  }
  std::vector<std::vector<std::string>> cells{{"ID", "Value", "Type", "Default", "ReadOnly", "Name"}};
  for (const auto& r : table)
    cells.push_back({r.ID, DisplayText(r.Value), r.TypeName, DisplayText(r.Default), r.ReadOnly ? "True" : "False", r.Name});
  std::vector<std::size_t> widths(cells[0].size(), 0);
  for (const auto& row : cells)
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], TextWidth(row[c]));
  for (const auto& row : cells) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      line += row[c];
      if (c + 1 < row.size()) line += std::string(widths[c] - TextWidth(row[c]) + 2, ' ');
    }
    out << line << '\n';
  }
  out.flush();
  return 0;
}

int ShowInfo(const THostOptionsStruct& o, THostSession& s, std::ostream& out) {
  const Variant info = s.Call("GetDeviceInfo");
  const SafeArray* a = info.Deref().IsArray() ? info.Deref().ArrayValue() : nullptr;
  Json fields = Json::object();
  for (std::size_t i = 0; a != nullptr && i < a->ElementCount() && i < std::size(kDeviceInfoFields); ++i)
    fields[kDeviceInfoFields[i]] = VariantToJson(a->Elements()[i]);
  if (o.Json) {
    out << fields.dump(2, ' ', false, Json::error_handler_t::replace) << std::endl;
    return 0;
  }
  for (std::size_t i = 0; a != nullptr && i < a->ElementCount() && i < std::size(kDeviceInfoFields); ++i)
    out << kDeviceInfoFields[i] << ": " << DisplayText(a->Elements()[i]) << '\n';
  out.flush();
  return 0;
}

int Run(const THostOptionsStruct& o, DispatchObject& driver, const DispatchPtr& manager, THostStreamsStruct io) {
  if (o.RunFile == "-") return RunCallLines(io.In, io.Out, driver, manager) ? 0 : 2;
  std::error_code ec;
  std::ifstream file(HostPath(o.RunFile), std::ios::binary);
  if (!file || std::filesystem::is_directory(HostPath(o.RunFile), ec)) throw EHostError(host_texts::kCannotRead + o.RunFile);
  return RunCallLines(file, io.Out, driver, manager) ? 0 : 2;
}

}  // namespace

int RunHostCommand(const THostOptionsStruct& o, const TDriverFactory& createDriver, const DispatchPtr& manager,
                   THostStreamsStruct io, const TIsSecretSetting& isSecret, const TConnectionTest& testConnection) {
  // The sign-in works on the settings file alone: no driver object is made.
  if (o.Command == THostCommand::hcLogin) return RunLoginCommand(o, io);
  try {
    const DispatchPtr driver = createDriver();
    THostSession session(*driver, manager, isSecret);
    switch (o.Command) {
      case THostCommand::hcSend:
        return Send(o, session, io.In);
      case THostCommand::hcCheck:
        return Check(o, session, *driver, testConnection, io);
      case THostCommand::hcSettings:
        return ShowSettings(o, session, io);
      case THostCommand::hcInfo:
        return ShowInfo(o, session, io.Out);
      case THostCommand::hcRun:
        return Run(o, *driver, manager, io);
      case THostCommand::hcLogin:
        break;
    }
    return 2;
  } catch (const ECallFailed& e) {
    // A description may hold a server's text: shown whole, its control bytes as escapes.
    io.Err << "eqhost: " << VisibleControls(e.Message()) << std::endl;
    return 1;
  } catch (const std::exception& e) {
    io.Err << "eqhost: " << VisibleControls(ErrorMessage(e)) << std::endl;
    return 2;
  }
}

}  // namespace eqd
