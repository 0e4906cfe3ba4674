// install_group_loader_test.cpp: the suite read from [ProductGroup.Default],
// the products linked to it, and what an installed copy of the suite or of
// its family changes.
#include "engine/install_group_loader.h"

#include <windows.h>

#include <string>
#include <vector>

#include "actions/command_options.h"
#include "actions/windows_command_options_system.h"
#include "engine/engine_settings.h"
#include "engine/install_group_info.h"
#include "engine/install_group_info_map.h"
#include "engine/product_list.h"
#include "engine/replacement_map.h"
#include "engine/setup_state.h"
#include "foundation/kw_ini_file.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/actions/uninstall_fixture.h"
#include "tests/support/test_support.h"

namespace {

enum EInstalled { None, Suite, Family };

// In `group`, {UUID} and {FAMILY} stand for ids of the case's own; in
// values and folders, <dir> for the test's folder without its backslash.
struct CLoaderCase {
  const char* name;
  const char* products;
  std::vector<const wchar_t*> productGroups;
  const char* group;
  EInstalled installed;
  std::vector<CUninstallValue> values;
  bool loaded;
  const wchar_t* folder;  // null: unchanged
  const wchar_t* members;  // comma-joined members of "default"; null: no group
  bool removeGroup;
  bool repairOverInstall;
};

std::string Narrow(const std::wstring& text) { return WideToUtf8(text); }

}  // namespace

TEST(CInstallGroupLoaderTest, SuiteGroupsFromConfigurationAndMachine) {
  const CLoaderCase kCases[] = {
      {"SingleWithoutUuid", "Products=P1", {L"default"}, "", None, {}, true, nullptr, nullptr, false, 0},
      {"TwoWithoutUuid", "Products=P1,P2", {L"default", L"default"}, "", None, {}, false, nullptr,
       nullptr, false, 0},
      {"MasterWithoutUuid", "Products=P1,P2\r\nMaster=P1", {L"default", L"default"}, "", None, {},
       true, nullptr, nullptr, false, 0},
      {"UuidWithoutName", "Products=P1", {L"default"}, "UUID={UUID}\r\nVersion=1.0", None, {}, false,
       nullptr, nullptr, false, 0},
      {"UndefinedGroup", "Products=P1,P2", {L"default", L"Other"}, "UUID={UUID}\r\nDisplayName=S",
       None, {}, false, nullptr, L"P1", false, 0},
      {"ExcludedProduct", "Products=P1,P2", {L"EXCLUDE", L"default"},
       "SuiteID={UUID}\r\nDisplayName=0x53", None, {}, true, nullptr, L"P2", false, 0},
      {"BaseAndSuiteFolder", "Products=P1", {L"default"},
       "UUID={UUID}\r\nDisplayName=S\r\nBasePath={ProgramFilesFolder}/Vendor/\r\nSuiteFolder=Kit/One",
       None, {}, true, L"C:\\Program Files (x86)\\Vendor\\Kit\\One", L"P1", false, 0},
      {"SameBuildIsRemovedFirst", "Products=P1", {L"default"},
       "UUID={UUID}\r\nDisplayName=S\r\nBuildNumber=7\r\nSKU=STD\r\nRepairModeAllowed=1", Suite,
       {{L"DisplayName", L"Old"}, {L"BuildNumber", L"7"}, {L"SKU", L"STD"}}, true, nullptr, L"P1",
       true, 0},
      {"SameBuildWithoutRepairMode", "Products=P1", {L"default"},
       "UUID={UUID}\r\nDisplayName=S\r\nBuildNumber=7\r\nSKU=STD", Suite,
       {{L"DisplayName", L"Old"}, {L"BuildNumber", L"7"}, {L"SKU", L"STD"}}, true, nullptr, L"P1",
       false, 0},
      {"OtherSkuIsRepaired", "Products=P1", {L"default"},
       "UUID={UUID}\r\nDisplayName=S\r\nBuildNumber=7\r\nSKU=STD\r\nRepairModeAllowed=1", Suite,
       {{L"DisplayName", L"Old"}, {L"BuildNumber", L"7"}, {L"SKU", L"PRO"}}, true, nullptr, L"P1",
       false, 1},
      // The installed suite's folder is its suite folder below its base path,
      // whatever the configuration now says.
      {"InstalledFolder", "Products=P1", {L"default"},
       "UUID={UUID}\r\nDisplayName=S\r\nBasePath=C:\\Cfg\r\nSuiteFolder=Other", Suite,
       {{L"DisplayName", L"Old"}, {L"BasePath", L"<dir>"}, {L"SuiteFolder", L"Kit"}}, true,
       L"<dir>\\Kit", L"P1", false, 0},
      {"InstalledBaseThatIsGone", "Products=P1", {L"default"}, "UUID={UUID}\r\nDisplayName=S", Suite,
       {{L"DisplayName", L"Old"}, {L"BasePath", L"<dir>\\gone"}, {L"SuiteFolder", L"Kit"}}, true,
       nullptr, L"P1", false, 0},
      {"FamilyFolder", "Products=P1", {L"default"},
       "UUID={UUID}\r\nFamilyID={FAMILY}\r\nDisplayName=S", Family,
       {{L"FamilyID", L"{FAMILY}"}, {L"BasePath", L"C:\\Fam"}, {L"SuiteFolder", L"Kit"}}, true,
       L"C:\\Fam\\Kit", L"P1", false, 0},
      {"FamilyLocation", "Products=P1", {L"default"},
       "UUID={UUID}\r\nFamilyID={FAMILY}\r\nDisplayName=S", Family,
       {{L"FamilyID", L"{FAMILY}"}, {L"InstallLocation", L"C:\\Fam\\Loc"}}, true, L"C:\\Fam\\Loc",
       L"P1", false, 0},
  };
  for (const CLoaderCase& test : kCases) {
    SCOPED_TRACE(test.name);
    CTestFolder folder;
    std::wstring dir = folder.Path().substr(0, folder.Path().size() - 1);
    std::wstring name = Utf8ToWide(test.name);
    CUninstallFixture suite(L"." + name);
    CUninstallFixture family(L".Family." + name);
    std::wstring familyId = L"SetupTests.FamilyId." + name;
    auto fill = [&](std::wstring text) {
      text = ReplaceAll(text, L"{UUID}", suite.Id());
      text = ReplaceAll(text, L"{FAMILY}", familyId);
      return ReplaceAll(text, L"<dir>", dir);
    };
    std::vector<std::wstring> texts;
    std::vector<CUninstallValue> values;
    texts.reserve(test.values.size());
    for (const CUninstallValue& value : test.values) texts.push_back(fill(value.text));
    for (size_t i = 0; i < test.values.size(); ++i) values.push_back({test.values[i].name, texts[i].c_str()});
    if (test.installed == Suite) {
      ASSERT_TRUE(suite.Write(KEY_WOW64_32KEY, values));
    }
    if (test.installed == Family) {
      ASSERT_TRUE(family.Write(KEY_WOW64_64KEY, values));
    }

    std::string dcf = std::string("[Setup]\r\n") + test.products + "\r\n[ProductGroup.Default]\r\n" +
                      Narrow(fill(Utf8ToWide(test.group))) + "\r\n";
    WriteFileBytes(folder.File(L"SETUP.DCF"), dcf);
    CKwIniFile configuration;
    configuration.Init(false);
    configuration.LoadFrom(folder.File(L"SETUP.DCF"));
    CSetupState state;
    state.SetInstallFolder(L"C:\\Configured");
    CEngineSettings settings;
    CCommandOptions options(CWindowsCommandOptionsSystem::Instance());
    ASSERT_TRUE(options.Parse(folder.Path(), L"/qn"));
    CReplacementMap macros(state);
    macros.Create(options, folder.File(L"setup.exe"), false);
    CProductList products;
    ASSERT_TRUE(products.Parse(configuration, &state.m_products));
    size_t index = 0;
    for (const auto& entry : state.m_products) entry.second->SetGroup(test.productGroups.at(index++));

    CInstallGroupInfoMap groups;
    CInstallGroupLoader loader(configuration, macros, products, state, settings, &groups);
    EXPECT_EQ(test.loaded, loader.Load());
    EXPECT_EQ(test.folder ? fill(test.folder) : L"C:\\Configured", state.GetInstallFolder());
    CInstallGroupInfo* defaultGroup = groups.Lookup(L"default");
    if (!test.members) {
      EXPECT_EQ(nullptr, defaultGroup);
      EXPECT_FALSE(settings.referenceCounting);
      continue;
    }
    ASSERT_NE(nullptr, defaultGroup);
    std::wstring members;
    for (const std::wstring& member : defaultGroup->GetMembers()) members += (members.empty() ? L"" : L",") + member;
    EXPECT_EQ(test.members, members);
    EXPECT_TRUE(settings.referenceCounting);
    EXPECT_EQ(L"S", defaultGroup->GetDisplayName());
    EXPECT_EQ(test.removeGroup, groups.Lookup(L"remove") != nullptr);
    EXPECT_EQ(test.repairOverInstall, defaultGroup->IsRepairOverInstall());
    EXPECT_EQ(test.installed == Family, defaultGroup->HasAlternatePath());
    EXPECT_EQ(test.installed == Suite ? 1 : 0, state.m_existingSuiteFound);
    if (test.installed == Suite && test.folder) {
      // The record this run writes and the install location page keep it too.
      EXPECT_EQ(fill(test.folder), defaultGroup->GetBasePath() + L"\\" + defaultGroup->GetSuiteFolder());
    }
  }
}
