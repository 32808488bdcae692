#include "host/host_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <ostream>

#include "host/host_texts.h"

namespace eqd {
namespace {

// "A,B,C" split at its last two commas, so a path that holds commas stays whole.
TInlineAttachmentStruct ParseInline(const std::string& text) {
  const auto second = text.rfind(',');
  const auto first = second == std::string::npos || second == 0 ? std::string::npos : text.rfind(',', second - 1);
  if (first == std::string::npos || first == 0) throw CLI::ValidationError("--inline", host_texts::kBadInlineValue + text);
  return {text.substr(0, first), text.substr(first + 1, second - first - 1), text.substr(second + 1)};
}

// "NAME,FILE" split at the first comma.
TBase64AttachmentStruct ParseBase64(const std::string& text) {
  const auto comma = text.find(',');
  if (comma == std::string::npos || comma == 0 || comma + 1 == text.size())
    throw CLI::ValidationError("--attach-base64", host_texts::kBadBase64Value + text);
  return {text.substr(0, comma), text.substr(comma + 1)};
}

// "ID=VALUE" split at the first '='. The text is not repeated in the error: it may hold a
// password.
std::pair<std::string, std::string> ParseSet(const std::string& option, const std::string& text, const char* expected) {
  const auto eq = text.find('=');
  if (eq == std::string::npos || eq == 0) throw CLI::ValidationError(option, expected);
  return {text.substr(0, eq), text.substr(eq + 1)};
}

}  // namespace

std::optional<int> ParseHostOptions(const std::vector<std::string>& args, THostOptionsStruct& o, std::ostream& out,
                                    std::ostream& err) {
  CLI::App app(host_texts::kAppDescription, "eqhost");
  app.add_flag("-v,--verbose", o.Verbose, host_texts::kVerbose);
  app.require_subcommand(1, 1);

  std::vector<std::string> sets, setsFromFiles, inlines, base64s;
  std::string body, bodyFile, subject, dryRun;
  auto addSettings = [&](CLI::App* cmd, bool required) {
    auto* opt = cmd->add_option("--settings", o.SettingsFile, host_texts::kSettingsFileOption);
    if (required) opt->required();
    cmd->add_option("--set", sets, host_texts::kSetOption)->type_name("ID=VALUE")->allow_extra_args(false);
    cmd->add_option("--set-from-file", setsFromFiles, host_texts::kSetFromFileOption)
        ->type_name("ID=PATH")
        ->allow_extra_args(false);
  };

  auto* send = app.add_subcommand("send", host_texts::kSendCommand);
  addSettings(send, true);
  send->add_option("--device-id", o.DeviceID, host_texts::kDeviceIdOption);
  send->add_option("--to", o.To, host_texts::kToOption)->required()->type_name("ADDR");
  send->add_option("--cc", o.Cc, host_texts::kCcOption)->type_name("ADDR");
  send->add_option("--bcc", o.Bcc, host_texts::kBccOption)->type_name("ADDR");
  auto* subjectOpt = send->add_option("--subject", subject, host_texts::kSubjectOption);
  auto* bodyOpt = send->add_option("--body", body, host_texts::kBodyOption);
  auto* bodyFileOpt = send->add_option("--body-file", bodyFile, host_texts::kBodyFileOption);
  bodyOpt->excludes(bodyFileOpt);
  send->add_option("--attach", o.Attach, host_texts::kAttachOption)->type_name("PATH")->allow_extra_args(false);
  send->add_option("--inline", inlines, host_texts::kInlineOption)
      ->type_name("PATH,CONTENT-TYPE,CONTENT-ID")
      ->allow_extra_args(false);
  send->add_option("--attach-base64", base64s, host_texts::kAttachBase64Option)
      ->type_name("NAME,FILE")
      ->allow_extra_args(false);
  auto* dryRunOpt = send->add_option("--dry-run", dryRun, host_texts::kDryRunOption)->type_name("FILE.eml");
  send->add_flag("--force", o.Force, host_texts::kForceOption)->needs(dryRunOpt);

  auto* check = app.add_subcommand("check", host_texts::kCheckCommand);
  addSettings(check, true);
  check->add_option("--device-id", o.DeviceID, host_texts::kDeviceIdOption);
  check->add_flag("--connect", o.Connect, host_texts::kConnectOption);

  auto* settings = app.add_subcommand("settings", host_texts::kSettingsCommand);
  addSettings(settings, false);
  settings->add_flag("--json", o.Json, host_texts::kJsonOption);
  settings->add_flag("--show-secrets", o.ShowSecrets, host_texts::kShowSecretsOption);

  auto* info = app.add_subcommand("info", host_texts::kInfoCommand);
  info->add_flag("--json", o.Json, host_texts::kJsonOption);

  auto* run = app.add_subcommand("run", host_texts::kRunCommand);
  run->add_option("file", o.RunFile, host_texts::kRunFileOption)->type_name("FILE|-");

  auto* login = app.add_subcommand("login", host_texts::kLoginCommand);
  login->add_option("--settings", o.SettingsFile, host_texts::kLoginSettingsOption)->required();

  for (CLI::App* cmd : {send, check, settings, info, run, login}) cmd->fallthrough();

  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them last first
    app.parse(reversed);
    for (const auto& s : sets) o.Sets.push_back(ParseSet("--set", s, host_texts::kBadSetValue));
    for (const auto& s : setsFromFiles)
      o.SetsFromFiles.push_back(ParseSet("--set-from-file", s, host_texts::kBadSetFromFileValue));
    for (const auto& s : inlines) o.Inline.push_back(ParseInline(s));
    for (const auto& s : base64s) o.AttachBase64.push_back(ParseBase64(s));
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e, out, err);
    return code == 0 ? 0 : 2;
  }
  if (*subjectOpt) o.Subject = subject;
  if (*bodyOpt) o.Body = body;
  if (*bodyFileOpt) o.BodyFile = bodyFile;
  if (*dryRunOpt) o.DryRunFile = dryRun;
  if (send->parsed()) o.Command = THostCommand::hcSend;
  if (check->parsed()) o.Command = THostCommand::hcCheck;
  if (settings->parsed()) o.Command = THostCommand::hcSettings;
  if (info->parsed()) o.Command = THostCommand::hcInfo;
  if (run->parsed()) o.Command = THostCommand::hcRun;
  if (login->parsed()) o.Command = THostCommand::hcLogin;
  return std::nullopt;
}

}  // namespace eqd
