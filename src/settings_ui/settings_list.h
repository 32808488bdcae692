// TfrmSettingsList: the full list of a device's settings in one table (name, value,
// default), edited in place: a text editor for numbers, texts and dates, a "False" /
// "True" drop-down for Booleans. Every stored edit changes the device's settings list
// at once; the settings window decides whether the changes stay.
//
// The toolkit-free core: rows, editing states and rules; the table and the editors are
// reached through TSettingsListView.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "device/base_device.h"

namespace eqd {

enum TListEditor : std::int32_t { leText = 0, leBoolean = 1 };

class TSettingsListView {
 public:
  virtual ~TSettingsListView() = default;
  virtual void RefreshRow(std::int32_t Row) = 0;
  virtual void RefreshAll() = 0;
  // Places the editor over the row's value cell, shows it and gives it the focus; the
  // text editor starts with Text, the drop-down with "True" or "False" selected.
  virtual void ShowEditor(TListEditor Editor, std::int32_t Row, const std::string& Text, bool Checked) = 0;
  // Hides the editor and gives the focus back to the table.
  virtual void HideEditor(TListEditor Editor) = 0;
  virtual std::string EditorText() = 0;
  virtual bool EditorChecked() = 0;  // "True" selected in the drop-down
  virtual void SetStatus(const std::string& Text) = 0;
};

class TfrmSettingsList {
 public:
  TfrmSettingsList(TBaseDevice& ADeviceManager, TSettingsListView& AView);

  // Fixed when the editor is made.
  std::int32_t RowCount() const { return FRowCount; }
  // Name, value and default as text; three empty texts for a row without a setting.
  std::array<std::string, 3> RowTexts(std::int32_t Row) const;

  // The selection moved (or another state of a row changed): an open editor stores its
  // value, and the status shows the row's description (Row < 0: no row named).
  void SelectionChanged(std::int32_t Row);
  // Row (< 0: every row) is no longer selected, as after a click on empty space or a
  // Ctrl+click: an open editor stores its value, and the commands that act on the
  // selected row do nothing until a row is selected again.
  void SelectionCleared(std::int32_t Row);
  // The selected row, -1 when there is none.
  std::int32_t Selected() const { return FSelected; }

  // Opens the editor of the selected row, unless one is open already.
  void BeginEdit();
  // Closes the open editor, storing its value into the setting of the row it was opened
  // on unless Discard.
  void EndEdit(bool Discard);
  bool Editing() const { return FEditing; }
  TListEditor EditControl() const { return FEditControl; }

  // The selected row's value to its default.
  void RowDefault();
  // Every setting to its default, read-only ones included.
  void AllDefault();

 private:
  PSettingStruct SelectedSetting() const;

  TBaseDevice& FDeviceManager;
  TSettingsListView& FView;
  std::int32_t FRowCount = 0;
  std::int32_t FSelected = -1;
  std::int32_t FEditRow = -1;  // the row the open editor belongs to
  TListEditor FEditControl = leText;
  bool FEditing = false;
};

}  // namespace eqd
