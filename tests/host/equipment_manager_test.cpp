#include "host/equipment_manager.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "automation/errors.h"

namespace eqd {
namespace {

const THostFoldersStruct kFolders{"/data/devices/", "/data/models/", "ru"};

TEST(HostEquipmentManagerTest, AnswersTheApplicationProperties) {
  std::istringstream in;
  std::ostringstream log;
  THostEquipmentManager m(kFolders, false, false, in, log);
  for (auto [prop, expected] : {std::pair{"DevicesFolder", "/data/devices/"}, {"modelsfolder", "/data/models/"},
                                {"Language", "ru"}}) {
    // The value comes back through a by-reference argument, as from a real host.
    Variant value("");
    std::vector<Variant> args{Variant(""), Variant(prop), Variant::ByRef(value)};
    EXPECT_TRUE(m.Invoke("GetAppProperty", args).BoolValue()) << prop;
    EXPECT_EQ(value.StrValue(), expected);
  }
  std::vector<Variant> args{Variant(""), Variant("Nope"), Variant("")};
  EXPECT_FALSE(m.Invoke("GetAppProperty", args).BoolValue());
  EXPECT_TRUE(log.str().empty());
}

TEST(HostEquipmentManagerTest, DialogsAnswerTheirDefaultsWithoutAPerson) {
  std::istringstream in("7\nanswer\n");  // must not be read
  std::ostringstream log;
  THostEquipmentManager m(kFolders, false, false, in, log);
  std::vector<Variant> msg{Variant("D"), Variant("Внимание"), Variant(0), Variant(0), Variant(0)};
  EXPECT_EQ(m.Invoke("MessageDlg", msg).IntValue(), THostEquipmentManager::kDefaultMessageAnswer);
  std::vector<Variant> input{Variant("D"), Variant("Код"), Variant("1234"), Variant(""), Variant(""), Variant(false),
                             Variant(0)};
  EXPECT_EQ(m.Invoke("InputDataDlg", input).StrValue(), "1234");
  EXPECT_NE(log.str().find("Внимание"), std::string::npos);  // the message is still shown
  std::string rest;
  std::getline(in, rest);
  EXPECT_EQ(rest, "7");
}

TEST(HostEquipmentManagerTest, DialogsReadAnAnswerAtATerminal) {
  std::istringstream in("7\n\nmine\n");
  std::ostringstream log;
  THostEquipmentManager m(kFolders, true, false, in, log);
  std::vector<Variant> msg{Variant("D"), Variant("?"), Variant(0), Variant(0), Variant(0)};
  EXPECT_EQ(m.Invoke("MessageDlg", msg).IntValue(), 7);
  EXPECT_EQ(m.Invoke("MessageDlg", msg).IntValue(), THostEquipmentManager::kDefaultMessageAnswer);  // Enter
  std::vector<Variant> input{Variant("D"), Variant("Код"), Variant("1234"), Variant(""), Variant(""), Variant(false),
                             Variant(0)};
  EXPECT_EQ(m.Invoke("InputDataDlg", input).StrValue(), "mine");
  EXPECT_EQ(m.Invoke("InputDataDlg", input).StrValue(), "1234");  // end of input: the default
}

TEST(HostEquipmentManagerTest, VerboseShowsCallbacksAndUnknownOnesRaise) {
  std::istringstream in;
  std::ostringstream log;
  THostEquipmentManager m(kFolders, false, true, in, log);
  std::vector<Variant> args{Variant("DEV1"), Variant("Name"), Variant("Text"), Variant(1)};
  EXPECT_TRUE(m.Invoke("WriteLog", args).BoolValue());
  EXPECT_NE(log.str().find("WriteLog('DEV1', 'Name', 'Text', 1)"), std::string::npos) << log.str();
  for (const char* name : {"DataEvent", "ErrorEvent", "TaskState"}) EXPECT_TRUE(m.Invoke(name, args).BoolValue());
  EXPECT_THROW(m.Invoke("Beep", args), EDriverError);
}

TEST(HostEquipmentManagerTest, FoldersComeFromTheEnvironment) {
  ::setenv("EQHOST_HOME", "/srv/eq", 1);
  EXPECT_EQ(DefaultHostFolders().DevicesFolder, "/srv/eq/devices/");
  ::unsetenv("EQHOST_HOME");
  const char* oldXdg = std::getenv("XDG_DATA_HOME");
  const std::string saved = oldXdg ? oldXdg : "";
  ::setenv("XDG_DATA_HOME", "/x/share/", 1);
  EXPECT_EQ(DefaultHostFolders().ModelsFolder, "/x/share/eqhost/models/");
  if (oldXdg) ::setenv("XDG_DATA_HOME", saved.c_str(), 1); else ::unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace eqd
