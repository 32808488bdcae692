// eqhost: a command-line host for the e-mail driver. It makes a driver object as the
// class factory does, hands it an equipment manager of its own and calls it by
// method name only, as any host application would.
#include <iostream>

#include "automation/value_text.h"
#include "host/driver_dispatch.h"
#include "host/equipment_manager.h"
#include "host/host_commands.h"
#include "host/host_options.h"
#include "host/in_process_driver.h"
#include "platform/console.h"

namespace {

// Each line of the SMTP dialogue on `out` as it passes, its line breaks shown as text.
eqd::smtp::TSmtpDialogueObserver PrintSmtpDialogue(std::ostream& out) {
  return [&out](eqd::smtp::TSmtpDialogueSide side, std::string_view line) {
    out << "eqhost: smtp " << eqd::VisibleControls(eqd::smtp::DialogueLineText(side, line)) << std::endl;
  };
}

}  // namespace

int main(int argc, char** argv) {
  using namespace eqd;
  THostOptionsStruct options;
  if (auto exit = ParseHostOptions(std::vector<std::string>(argv + 1, argv + argc), options, std::cout, std::cerr))
    return *exit;
  // Standard input carries the calls of "run -"; dialogs must not read from it then.
  const bool callsOnStdin = options.Command == THostCommand::hcRun && options.RunFile == "-";
  const bool interactive = !callsOnStdin && platform::StdinIsTerminal();
  auto manager =
      std::make_shared<THostEquipmentManager>(DefaultHostFolders(), interactive, options.Verbose, std::cin, std::cerr);
  const THostStreamsStruct io{std::cin, std::cout, std::cerr};
  if (options.DryRunFile) return RunDryRunSend(options, manager, io);
  const TConnectionTest testConnection = [](DispatchObject& object, std::string& description) {
    return dynamic_cast<TDriver&>(dynamic_cast<TDriverDispatch&>(object).Object()).TestConnection(description);
  };
  // -v also shows the SMTP dialogue as it happens, masked as the event log is.
  const smtp::TSmtpDialogueObserver dialogue = options.Verbose ? PrintSmtpDialogue(std::cerr) : nullptr;
  return RunHostCommand(options, [&dialogue] { return CreateInProcessDriver(nullptr, dialogue); }, manager, io,
                        IsDriverSecretSetting, testConnection);
}
