#include "host/equipment_manager.h"

#include <charconv>
#include <cstdlib>
#include <istream>
#include <ostream>

#include "automation/ascii_case.h"
#include "automation/errors.h"
#include "automation/value_text.h"
#include "host/host_texts.h"

namespace eqd {
namespace {

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v == nullptr ? std::string() : std::string(v);
}

std::string Arg(const std::vector<Variant>& args, std::size_t i) {
  if (i >= args.size()) return {};
  const Variant& v = args[i].Deref();
  return v.Vt() == VT_BSTR ? v.StrValue() : std::string();
}

}  // namespace

THostFoldersStruct DefaultHostFolders() {
  std::string root = Env("EQHOST_HOME");
  if (root.empty() && !Env("XDG_DATA_HOME").empty()) root = WithSlash(Env("XDG_DATA_HOME")) + "eqhost";
  if (root.empty() && !Env("HOME").empty()) root = WithSlash(Env("HOME")) + ".local/share/eqhost";
  if (root.empty()) root = "eqhost";
  root = WithSlash(root);
  return {root + "devices/", root + "models/", "ru"};
}

THostEquipmentManager::THostEquipmentManager(THostFoldersStruct folders, bool interactive, bool verbose,
                                             std::istream& in, std::ostream& log)
    : FFolders(std::move(folders)), FInteractive(interactive), FVerbose(verbose), FIn(in), FLog(log) {}

Variant THostEquipmentManager::Invoke(std::string_view name, std::vector<Variant>& args) {
  if (FVerbose) {
    FLog << "eqhost: <- " << name << "(";
    for (std::size_t i = 0; i < args.size(); ++i) FLog << (i ? ", " : "") << ValueToText(args[i]);
    FLog << ")\n";
  }
  if (AsciiSameText(name, "GetAppProperty")) {
    const std::string prop = Arg(args, 1);
    const std::string* value = AsciiSameText(prop, "DevicesFolder") ? &FFolders.DevicesFolder
                               : AsciiSameText(prop, "ModelsFolder") ? &FFolders.ModelsFolder
                               : AsciiSameText(prop, "Language")     ? &FFolders.Language
                                                                 : nullptr;
    if (value == nullptr) return Variant(false);
    if (args.size() > 2) args[2].Deref() = Variant(*value);
    return Variant(true);
  }
  if (AsciiSameText(name, "MessageDlg")) return MessageDlg(args);
  if (AsciiSameText(name, "InputDataDlg")) return InputDataDlg(args);
  if (AsciiSameText(name, "WriteLog") || AsciiSameText(name, "DataEvent") || AsciiSameText(name, "ErrorEvent") ||
      AsciiSameText(name, "TaskState"))
    return Variant(true);
  throw EDriverError(host_texts::kUnknownCallback + std::string(name));
}

std::string THostEquipmentManager::ReadAnswer(const std::string& prompt) {
  FLog << prompt << std::flush;
  std::string line;
  if (!std::getline(FIn, line)) return {};
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// MessageDlg(DeviceID, MsgText, MsgType, MsgButtons, MsgTimeout): the answer is a number
// whose meaning is the caller's; without a person it is the first button.
Variant THostEquipmentManager::MessageDlg(std::vector<Variant>& args) {
  FLog << Arg(args, 1) << "\n";
  std::int32_t answer = kDefaultMessageAnswer;
  if (FInteractive) {
    const std::string text = ReadAnswer(host_texts::kMessagePrompt + std::to_string(answer) + "): ");
    std::int32_t n = 0;
    if (auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
        ec == std::errc() && p == text.data() + text.size() && !text.empty())
      answer = n;
  }
  return Variant(answer);
}

// InputDataDlg(DeviceID, Caption, DefaultData, Description, Mask, Password, TimeOut).
Variant THostEquipmentManager::InputDataDlg(std::vector<Variant>& args) {
  const std::string defaultData = Arg(args, 2);
  if (!FInteractive) return Variant(defaultData);
  FLog << Arg(args, 1) << "\n";
  if (!Arg(args, 3).empty()) FLog << Arg(args, 3) << "\n";
  const std::string text = ReadAnswer(host_texts::kInputPrompt + defaultData + "): ");
  return Variant(text.empty() ? defaultData : text);
}

}  // namespace eqd
