// The settings list editor's core over the real e-mail driver's settings.
#include <gtest/gtest.h>

#include "automation/scratch_folder.h"
#include "automation/variant_convert.h"
#include "mail/driver.h"
#include "settings_ui/recording_views.h"

namespace eqd::test {
namespace {

class SettingsListTest : public ::testing::Test {
 protected:
  eqd::testing::ScratchFolder scratch;
  TDeviceOwner<TDriver> driver = CreateDevice<TDriver>();
  TRecordingListView view;
  TfrmSettingsList list{*driver, view};

  std::int32_t RowOf(const std::string& id) const {
    for (std::int32_t i = 0; i < driver->SettingsCount(); ++i)
      if (driver->GetSetting(i)->ID == id) return i;
    throw std::runtime_error("no setting " + id);
  }
};

TEST_F(SettingsListTest, RowsShowNameValueAndDefault) {
  EXPECT_EQ(list.RowCount(), driver->SettingsCount());
  driver->SetSettingValue("SmtpServerPort", Variant(std::int32_t{25}));
  EXPECT_EQ(list.RowTexts(RowOf("SmtpServerPort")), (std::array<std::string, 3>{"SMTP порт", "25", "587"}));
  EXPECT_EQ(list.RowTexts(RowOf("DebugLogEnabled"))[1], "False");
  EXPECT_EQ(list.RowTexts(list.RowCount()), (std::array<std::string, 3>{}));
  list.SelectionChanged(RowOf("UserEmail"));
  EXPECT_EQ(view.Status, "Email отправителя");
}

TEST_F(SettingsListTest, BooleanDropDownOpensOnTheValueAndStoresTheChoice) {
  driver->SetSettingValue("EventLogEnabled", Variant(true));
  const std::int32_t row = RowOf("EventLogEnabled");
  list.SelectionChanged(row);
  list.BeginEdit();
  EXPECT_EQ(list.EditControl(), leBoolean);
  EXPECT_TRUE(view.Checked);
  list.BeginEdit();  // already open: nothing
  view.Checked = false;
  list.EndEdit(false);
  EXPECT_TRUE(SameValue(driver->GetSettingValue("EventLogEnabled"), Variant(false)));
  EXPECT_EQ(view.Journal, (std::vector<std::string>{"drop-down on " + std::to_string(row),
                                                    "refresh " + std::to_string(row), "hide"}));
}

// Each way an open text editor ends, and what the setting holds afterwards.
TEST_F(SettingsListTest, TextEditorEndings) {
  struct TCase {
    const char* Setting;
    const char* Typed;
    int Ending;  // 0 Enter, 1 Escape, 2 focus moves to another row
    Variant Expected;
  };
  const TCase cases[] = {
      {"DefaultTimeOut", "abc", 0, Variant(std::int32_t{0})},
      {"DefaultTimeOut", "45", 2, Variant(std::int32_t{45})},
      {"SmtpServerName", "mail.example.test", 1, Variant("smtp.yandex.ru")},
      {"SmtpServerName", "mail.example.test", 2, Variant("mail.example.test")},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Setting) + " " + c.Typed + " " + std::to_string(c.Ending));
    driver->SetAllSettingsDefault();
    list.SelectionChanged(RowOf(c.Setting));
    list.BeginEdit();
    ASSERT_TRUE(list.Editing());
    EXPECT_EQ(list.EditControl(), leText);
    view.Text = c.Typed;
    if (c.Ending == 0) list.EndEdit(false);
    if (c.Ending == 1) list.EndEdit(true);
    if (c.Ending == 2) list.SelectionChanged(RowOf("BodyText"));
    EXPECT_FALSE(list.Editing());
    EXPECT_EQ(VarToStr(driver->GetSettingValue(c.Setting)), VarToStr(c.Expected));
    if (c.Ending == 2) {
      EXPECT_EQ(view.Status, "Текст уведомления");
    }
  }
}

TEST_F(SettingsListTest, RowDefaultChangesOneRowAllDefaultsEveryRow) {
  driver->SetSettingValue("SmtpServerName", Variant("a"));
  driver->SetSettingValue("SmtpServerPort", Variant("1"));
  list.SelectionChanged(RowOf("SmtpServerName"));
  list.RowDefault();
  EXPECT_EQ(driver->GetSettingValueStr("SmtpServerName"), "smtp.yandex.ru");
  EXPECT_EQ(driver->GetSettingValueStr("SmtpServerPort"), "1");
  list.AllDefault();
  EXPECT_EQ(driver->GetSettingValueStr("SmtpServerPort"), "587");
  EXPECT_EQ(view.Journal.back(), "refresh all");
}

TEST_F(SettingsListTest, NothingIsEditedWithoutASelectedRow) {
  list.BeginEdit();
  EXPECT_FALSE(list.Editing());
  list.RowDefault();
  list.EndEdit(false);
  EXPECT_TRUE(view.Journal.empty());
}

// A click on empty space (every row) or a Ctrl+click on the selected row leaves no row
// selected: the editor open at that moment stores into its own row, and editing or
// "По-умолчанию" afterwards touch nothing until a row is selected again. A row other
// than the selected one losing its selection changes nothing.
TEST_F(SettingsListTest, ActionsAfterTheSelectionWasClearedDoNothing) {
  const std::int32_t row = RowOf("SmtpServerName");
  for (const std::int32_t cleared : {row, -1}) {
    SCOPED_TRACE(cleared);
    driver->SetAllSettingsDefault();
    list.SelectionChanged(row);
    list.BeginEdit();
    view.Text = "mail.example.test";
    list.SelectionCleared(RowOf("BodyText"));  // not the selected row: only the editor closes
    EXPECT_EQ(list.Selected(), row);
    EXPECT_EQ(driver->GetSettingValueStr("SmtpServerName"), "mail.example.test");
    list.BeginEdit();
    view.Text = "other.example.test";
    list.SelectionCleared(cleared);
    EXPECT_EQ(list.Selected(), -1);
    EXPECT_EQ(driver->GetSettingValueStr("SmtpServerName"), "other.example.test");
    view.Journal.clear();
    list.BeginEdit();
    list.RowDefault();
    EXPECT_FALSE(list.Editing());
    EXPECT_TRUE(view.Journal.empty());
    EXPECT_EQ(driver->GetSettingValueStr("SmtpServerName"), "other.example.test");
  }
}

}  // namespace
}  // namespace eqd::test
