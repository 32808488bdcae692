// eqhost's command line: six commands and their options, parsed into one record.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace eqd {

enum class THostCommand { hcSend, hcCheck, hcSettings, hcInfo, hcRun, hcLogin };

// --inline PATH,CONTENT-TYPE,CONTENT-ID: an attachment the HTML body shows by cid:.
struct TInlineAttachmentStruct {
  std::string FilePath;
  std::string ContentType;
  std::string ContentID;
};

// --attach-base64 NAME,FILE: FILE's bytes handed over as Base64 under the name NAME.
struct TBase64AttachmentStruct {
  std::string FileName;
  std::string SourcePath;
};

struct THostOptionsStruct {
  THostCommand Command = THostCommand::hcInfo;
  bool Verbose = false;
  bool Json = false;
  std::string SettingsFile;  // empty: none given
  std::vector<std::pair<std::string, std::string>> Sets;  // --set ID=VALUE, in the order given
  // --set-from-file ID=PATH: the value is the file's text ("-": standard input), so that a
  // password never stands on the command line, which every local user can read.
  std::vector<std::pair<std::string, std::string>> SetsFromFiles;
  bool ShowSecrets = false;  // settings: secret values as they are, not masked
  std::string DeviceID = "eqhost";
  bool Connect = false;  // check: the connection test after CheckHealth
  std::vector<std::string> To;
  std::vector<std::string> Cc;
  std::vector<std::string> Bcc;
  std::optional<std::string> Subject;
  std::optional<std::string> Body;
  std::optional<std::string> BodyFile;
  std::vector<std::string> Attach;
  std::vector<TInlineAttachmentStruct> Inline;
  std::vector<TBase64AttachmentStruct> AttachBase64;
  std::optional<std::string> DryRunFile;  // --dry-run: the message goes to this file, not to the server
  bool Force = false;  // --force: the dry run may replace a file that exists
  std::string RunFile = "-";
};

// Parses args (without the program name). Returns the exit code when eqhost is to stop
// at once: 0 after printing the help to `out`, 2 after printing a usage error to `err`.
std::optional<int> ParseHostOptions(const std::vector<std::string>& args, THostOptionsStruct& options,
                                    std::ostream& out, std::ostream& err);

}  // namespace eqd
