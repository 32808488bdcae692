// eqhost's own equipment manager: the callback object a host hands to the driver in
// "Init". It answers the three application properties the driver asks for, prints
// the other callbacks when asked to, and answers dialogs itself when nobody is at a
// terminal to answer them.
#pragma once

#include <iosfwd>
#include <string>

#include "automation/variant.h"

namespace eqd {

struct THostFoldersStruct {
  std::string DevicesFolder;  // with a trailing delimiter
  std::string ModelsFolder;   // with a trailing delimiter
  std::string Language;
};

// $EQHOST_HOME, else $XDG_DATA_HOME/eqhost, else $HOME/.local/share/eqhost; the two
// folders are "devices/" and "models/" under it. Nothing is created.
THostFoldersStruct DefaultHostFolders();

class THostEquipmentManager : public DispatchObject {
 public:
  // `in` is read for dialog answers only when `interactive`; callbacks are printed
  // to `log` when `verbose`, and dialog texts always go there.
  THostEquipmentManager(THostFoldersStruct folders, bool interactive, bool verbose, std::istream& in,
                        std::ostream& log);

  Variant Invoke(std::string_view name, std::vector<Variant>& args) override;

  // What "MessageDlg" answers when nobody can: the first button.
  static constexpr std::int32_t kDefaultMessageAnswer = 1;

 private:
  Variant MessageDlg(std::vector<Variant>& args);
  Variant InputDataDlg(std::vector<Variant>& args);
  std::string ReadAnswer(const std::string& prompt);

  THostFoldersStruct FFolders;
  bool FInteractive;
  bool FVerbose;
  std::istream& FIn;
  std::ostream& FLog;
};

}  // namespace eqd
