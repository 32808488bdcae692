#include "com/com_server.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "com/server_identity.h"
#include "memory_platform.h"

namespace eqd::com {
namespace {

using testing::TMemoryPlatform;
using Value = TMemoryPlatform::TValue;

TClassFactoryStruct DriverClass() {
  return {kDriverClassID, std::string(kClassName), std::string(kClassDescription), ciMultiInstance,
          tmApartment, true};
}

// A server as the module sets it up at load: its name, then its one factory.
struct ServerFixture : ::testing::Test {
  TMemoryPlatform platform;
  TComServer server{platform, false};
  TFactoryEntry* factory = nullptr;

  ServerFixture() {
    server.SetServerName(std::string(kServerName));
    factory = &server.AddFactory(std::make_unique<TFactoryEntry>(DriverClass()));
  }
};

const std::string kG = "{5F3208C9-AF02-4EBE-B7D9-2FA8B54F9B29}";

std::vector<Value> SixEntries(TRegistryRoot root, const std::string& p, const std::string& path) {
  // Sorted as AllValues sorts them: by lower-cased key, then value name.
  return {
      {root, p + "CLSID\\" + kG, "", "8.2 Equipment Driver 2.0"},
      {root, p + "CLSID\\" + kG + "\\InprocServer32", "", path},
      {root, p + "CLSID\\" + kG + "\\InprocServer32", "ThreadingModel", "Apartment"},
      {root, p + "CLSID\\" + kG + "\\ProgID", "", "VxEq.vlmCommon"},
      {root, p + "VxEq.vlmCommon", "", "8.2 Equipment Driver 2.0"},
      {root, p + "VxEq.vlmCommon\\Clsid", "", kG},
  };
}

TEST_F(ServerFixture, RegistersSixEntriesInOrderAndAgainWithoutChange) {
  ASSERT_EQ(server.RegisterServer(), hrOk);
  const std::string c = "set HKCR\\CLSID\\" + kG;
  EXPECT_THAT(platform.Log, ::testing::ElementsAre(c + " []", c + "\\InprocServer32 []",
                                                   c + "\\InprocServer32 [ThreadingModel]",
                                                   "set HKCR\\VxEq.vlmCommon []",
                                                   "set HKCR\\VxEq.vlmCommon\\Clsid []", c + "\\ProgID []"));
  const auto expected = SixEntries(rrClassesRoot, "", "C:\\Drivers\\vlm_dodezoz41.dll");
  EXPECT_EQ(platform.AllValues(), expected);

  ASSERT_EQ(server.RegisterServer(), hrOk);
  EXPECT_EQ(platform.AllValues(), expected);
}

TEST_F(ServerFixture, UnregistersLeavesFirstAndToleratesMissingKeys) {
  ASSERT_EQ(server.RegisterServer(), hrOk);
  platform.Log.clear();
  ASSERT_EQ(server.UnregisterServer(), hrOk);
  const std::string c = "delete HKCR\\CLSID\\" + kG;
  EXPECT_THAT(platform.Log, ::testing::ElementsAre(c + "\\ProgID", "delete HKCR\\VxEq.vlmCommon\\Clsid",
                                                   "delete HKCR\\VxEq.vlmCommon", c + "\\InprocServer32", c));
  EXPECT_TRUE(platform.Clean());
  EXPECT_EQ(server.UnregisterServer(), hrOk);  // nothing left to remove
}

TEST_F(ServerFixture, UnregisterPassesOverAKeyThatStillHasSubkeys) {
  ASSERT_EQ(server.RegisterServer(), hrOk);
  ASSERT_TRUE(platform.WriteStringValue(rrClassesRoot, "VxEq.vlmCommon\\Extra", "", "x"));
  EXPECT_EQ(server.UnregisterServer(), hrOk);
  EXPECT_TRUE(platform.Keys.count({rrClassesRoot, "vxeq.vlmcommon"}));
  EXPECT_FALSE(platform.Keys.count({rrClassesRoot, "clsid\\" + std::string("{5f3208c9-af02-4ebe-b7d9-2fa8b54f9b29}")}));
}

TEST_F(ServerFixture, ModulePathWithABlankIsRegisteredInItsShortForm) {
  struct Case {
    std::string Long, Short, Registered;
  } cases[] = {
      {"C:\\Program Files\\Eq\\vlm_dodezoz41.dll", "C:\\PROGRA~1\\Eq\\VLM_DO~1.DLL", "C:\\PROGRA~1\\Eq\\VLM_DO~1.DLL"},
      {"C:\\Eq\\vlm_dodezoz41.dll", "C:\\EQ\\VLM_DO~1.DLL", "C:\\Eq\\vlm_dodezoz41.dll"},
      // No 8.3 name on this volume: the long form is still a working path.
      {"C:\\Program Files\\Eq\\vlm_dodezoz41.dll", "", "C:\\Program Files\\Eq\\vlm_dodezoz41.dll"},
  };
  for (const Case& c : cases) {
    platform.LongPath = c.Long;
    platform.ShortForm = c.Short;
    ASSERT_EQ(server.RegisterServer(), hrOk);
    EXPECT_EQ(platform.Values.at({rrClassesRoot, "clsid\\{5f3208c9-af02-4ebe-b7d9-2fa8b54f9b29}\\inprocserver32", ""}).Data,
              c.Registered)
        << c.Long;
  }
}

TEST_F(ServerFixture, AFailedWriteFailsRegistrationAndKeepsWhatWasWritten) {
  platform.FailWritesFrom = 3;
  EXPECT_EQ(server.RegisterServer(), hrFail);
  EXPECT_EQ(platform.AllValues().size(), 3u);
  EXPECT_THROW(server.UpdateRegistry(true), ERegistryError);
  try {
    server.UpdateRegistry(true);
  } catch (const ERegistryError& e) {
    EXPECT_STREQ(e.what(), "Error creating system registry entry");
  }
}

TEST_F(ServerFixture, InstallChoosesTheRootFromItsCommandLineAndRestoresTheFlag) {
  struct Case {
    const char* CommandLine;
    bool FlagBefore;
    TRegistryRoot Root;
    std::string Prefix;
  } cases[] = {
      {"user", false, rrCurrentUser, "Software\\Classes\\"},
      {"USER", false, rrCurrentUser, "Software\\Classes\\"},
      {"uSeR", true, rrCurrentUser, "Software\\Classes\\"},
      {"", true, rrClassesRoot, ""},
      {"users", false, rrClassesRoot, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.CommandLine);
    server.SetPerUser(c.FlagBefore);
    ASSERT_EQ(server.Install(true, c.CommandLine), hrOk);
    EXPECT_EQ(server.PerUser(), c.FlagBefore);
    EXPECT_EQ(platform.AllValues(), SixEntries(c.Root, c.Prefix, "C:\\Drivers\\vlm_dodezoz41.dll"));

    ASSERT_EQ(server.Install(false, c.CommandLine), hrOk);
    EXPECT_EQ(server.PerUser(), c.FlagBefore);
    EXPECT_TRUE(platform.Clean());
  }
}

TEST_F(ServerFixture, InstallRollsBackAFailedRegistration) {
  platform.FailWritesFrom = 4;
  server.SetPerUser(true);
  EXPECT_EQ(server.Install(true, "user"), hrFail);
  EXPECT_TRUE(platform.Clean());
  EXPECT_TRUE(server.PerUser());
}

TEST_F(ServerFixture, FindsItsFactoryByClassIdentifierOnly) {
  EXPECT_EQ(server.FindFactory(kDriverClassID), factory);
  TGuid other = kDriverClassID;
  other.Data4[7] ^= 1;
  EXPECT_EQ(server.FindFactory(other), nullptr);
}

TEST_F(ServerFixture, InternalFactoriesAreNotRegistered) {
  TClassFactoryStruct hidden = DriverClass();
  hidden.ClassID.Data1 = 1;
  hidden.ClassName = "Hidden";
  hidden.Instancing = ciInternal;
  server.AddFactory(std::make_unique<TFactoryEntry>(hidden));
  ASSERT_EQ(server.RegisterServer(), hrOk);
  EXPECT_EQ(platform.AllValues().size(), 6u);
}

TEST_F(ServerFixture, CanUnloadOnlyWithNoObjectsLocksOrFactoryReferences) {
  EXPECT_TRUE(server.CanUnloadNow());
  server.CountObject();
  EXPECT_FALSE(server.CanUnloadNow());
  server.UncountObject();
  server.FactoryAddRef();
  EXPECT_FALSE(server.CanUnloadNow());
  server.LockServer(true);
  server.FactoryRelease();
  EXPECT_FALSE(server.CanUnloadNow());
  server.LockServer(false);
  EXPECT_TRUE(server.CanUnloadNow());
}

TEST_F(ServerFixture, CreationErrorsAreShownWithAFinalPeriodAndRefused) {
  struct Case {
    std::string Message, Shown;
  } cases[] = {
      {"Нет доступа", "Нет доступа."},
      {"Out of memory", "Out of memory."},
      {"Done.", "Done."},
      {"Stop!", "Stop!"},
      {"Trailing blank ", "Trailing blank "},
      {"Code 7", "Code 7."},
  };
  for (const Case& c : cases) {
    platform.Boxes.clear();
    EXPECT_EQ(server.ReportCreationError(*factory, c.Message), hrUnexpected);
    ASSERT_EQ(platform.Boxes.size(), 1u);
    EXPECT_EQ(platform.Boxes[0].Text, c.Shown);
    EXPECT_EQ(platform.Boxes[0].Caption, "ZOD Error");
    EXPECT_EQ(platform.Boxes[0].Flags, 0x10010u);
  }
  platform.Boxes.clear();
  EXPECT_EQ(server.ReportCreationError(*factory, ""), hrUnexpected);
  EXPECT_TRUE(platform.Boxes.empty());
}

TEST(CommandLineSwitchesTest, DecidePerUserRegistration) {
  struct Case {
    std::vector<std::string> Args;
    bool PerUser;
  } cases[] = {
      {{}, false},
      {{"/RegServerPerUser"}, true},
      {{"-unregserverperuser"}, true},
      {{"/regserver", "/RegServerPerUser"}, false},
      {{"/RegServerPerUser", "-Embedding"}, false},
      {{"/Automation", "/UnregServerPerUser"}, false},
      {{"RegServerPerUser"}, false},       // not a switch without "-" or "/"
      {{"/RegServerPerUserX"}, false},     // compared whole
      {{"/", "-"}, false},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const auto& a : c.Args) shown += a + " ";
    EXPECT_EQ(PerUserFromSwitches(c.Args), c.PerUser) << shown;
  }
}

TEST(ClassFactoryRulesTest, RefuseMissingOutPointerAndAggregationOfOtherInterfaces) {
  EXPECT_EQ(CheckCreateRequest(false, false, true), hrPointer);
  EXPECT_EQ(CheckCreateRequest(true, true, false), hrNoAggregation);
  EXPECT_EQ(CheckCreateRequest(true, true, true), hrOk);
  EXPECT_EQ(CheckCreateRequest(true, false, false), hrOk);
}

TEST(GuidTest, PrintsAndReadsTheRegistryForm) {
  EXPECT_EQ(GuidToText(kDriverClassID), "{5F3208C9-AF02-4EBE-B7D9-2FA8B54F9B29}");
  EXPECT_EQ(TextToGuid("{5f3208c9-af02-4ebe-b7d9-2fa8b54f9b29}"), kDriverClassID);
  for (const char* bad : {"5F3208C9-AF02-4EBE-B7D9-2FA8B54F9B29", "{5F3208C9-AF02-4EBE-B7D92-FA8B54F9B29}",
                          "{5F3208C9-AF02-4EBE-B7D9-2FA8B54F9B2G}", ""})
    EXPECT_EQ(TextToGuid(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace eqd::com
