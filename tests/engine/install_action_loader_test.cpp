// install_action_loader_test.cpp: the command lines the install loaders
// prepare, the order and fields of the loaded install actions, and the
// group uninstall's refusals.
#include "engine/install_action_loader.h"

#include <string>

#include "actions/install_action.h"
#include "engine/install_group_info_map.h"
#include "tests/engine/action_list_world.h"

namespace {

// Alpha is the master; Beta has a folder of its own below the source.
const char kSuite[] =
    "[Setup]\r\nProducts=Alpha,Beta\r\nMaster=Alpha\r\n"
    "[Setup.Alpha]\r\nPackageName=alpha.msi\r\nPrimaryAction=Install\r\nProductCode={A1}\r\n"
    "[Setup.Beta]\r\nPackageName=beta.msi\r\nPrimaryAction=Install\r\nProductCode={B1}\r\nProductLanguage=1031\r\n";

}  // namespace

TEST(CInstallActionLoaderTest, PreparesCommandLines) {
  struct Case {
    const wchar_t* product;
    const wchar_t* line;
    const wchar_t* transforms;
    const wchar_t* expected;  // null: badly formed
    bool runsPackage;
  } const kCases[] = {
      // The package's own name, or nothing at all, asks for the default line.
      {L"Alpha", L"alpha.msi", L"", L"{msiexec} {setupparams} /I \"D:\\src\\alpha.msi\"", true},
      {L"Alpha", L"alpha.msi", L"C:\\t\\de.mst",
       L"{msiexec} {setupparams} /I \"D:\\src\\alpha.msi\" TRANSFORMS=\"C:\\t\\de.mst\"", true},
      {L"Alpha", L"{msiexec} /I {PackageName} TRANSFORMS={Transform} X=1", L"",
       L"{msiexec} /I \"D:\\src\\alpha.msi\"  X=1", true},
      {L"Alpha", L"{msiexec} /I x.msi", L"", L"{msiexec} /I x.msi", false},
      // A product that is not the master runs quietly under the master's rule.
      {L"Beta", L"{msiexec} {setupparams} /I {PackageName} L={lang} ID={LangID}", L"",
       L"{msiexec} /qn REBOOT=Suppress X=\"a b\" /I \"D:\\src\\Beta\\beta.msi\" L=DEU ID=1031", true},
      {L"Alpha", L"prog.exe /s {ProductDir}", L"", L"\"D:\\src\\prog.exe\" /s D:\\src\\", false},
      {L"Beta", L"\"my tool.exe\" -q {ProductDir}", L"", L"\"D:\\src\\Beta\\my tool.exe\" -q D:\\src\\Beta\\", false},
      // A program named by an absolute path runs where it is.
      {L"Beta", L"C:\\tools\\t.exe /x", L"", L"\"C:\\tools\\t.exe\" /x", false},
      {L"Beta", L"\\\\server\\share\\t.exe", L"", L"\"\\\\server\\share\\t.exe\" ", false},
      {L"Beta", L"C:t.exe", L"", L"\"D:\\src\\Beta\\C:t.exe\" ", false},
      {L"Alpha", L"", L"", L"{msiexec} {setupparams} /I \"D:\\src\\alpha.msi\"", true},
      {L"Alpha", L"   ", L"", nullptr, false},
  };
  CActionListWorld world(kSuite, L"/qn X=\"a b\"");
  CInstallActionLoader loader(*world.sources);
  for (const Case& c : kCases) {
    CProductData& data = *world.Product(c.product);
    data.SetTransforms(c.transforms);
    data.SetPackageName(std::wstring(c.line).empty() ? L"" : Format(L"%s.msi", ToLower(c.product).c_str()));
    std::wstring line = c.line;
    bool runsPackage = false;
    bool prepared = loader.PrepareCommandLine(c.product, data, false, &line, &runsPackage);
    ASSERT_EQ(c.expected != nullptr, prepared) << WideToUtf8(c.line);
    if (!c.expected) continue;
    EXPECT_EQ(c.expected, line) << WideToUtf8(c.line);
    EXPECT_EQ(c.runsPackage, runsPackage) << WideToUtf8(c.line);
  }
}

// A source given without its backslash still separates the program.
TEST(CInstallActionLoaderTest, JoinsAnInstallSourceWithoutBackslash) {
  CActionListWorld world(kSuite, L"/qn", L"D:\\src");
  CInstallActionLoader loader(*world.sources);
  std::wstring line = L"setup.exe /s";
  bool runsPackage = false;
  ASSERT_TRUE(loader.PrepareCommandLine(L"Beta", *world.Product(L"Beta"), false, &line, &runsPackage));
  EXPECT_EQ(L"\"D:\\src\\Beta\\setup.exe\" /s", line);
}

TEST(CInstallActionLoaderTest, LoadsActionsInAscendingSequenceWithTheirFields) {
  const std::string dcf = std::string(
      "[Setup]\r\nProducts=Alpha\r\n"
      "[Setup.Alpha]\r\nPackageName=alpha.msi\r\nPrimaryAction=Install\r\nProductCode={A1}\r\nProductName=Alpha Suite\r\n"
      "InstallActions=Late,Early,Tool,Same\r\n"
      "[InstallActions.Alpha.Late]\r\nSequence=10\r\nCommandLine={msiexec} {setupparams} /I {PackageName}\r\n"
      "ExecuteOptions=NOWAIT\r\nReturnProcessing=IGNORE\r\nNoRepair=1\r\nCondition=VersionNT\r\n"
      "[InstallActions.Alpha.Early]\r\nSequence=5\r\nCommandLine={msiexec} /I other.msi\r\nOverrideInstallDir=C:\\x\r\n"
      "[InstallActions.Alpha.Tool]\r\nSequence=5\r\nCommandLine=tool.exe -i\r\nNoUninstall=1\r\n"
      "[InstallActions.Alpha.Same]\r\nSequence=10\r\nCommandLine={msiexec} /I same.msi\r\n");
  struct Case {
    const wchar_t* uiLevel;
    bool msiexecCancel;
  } const kLevels[] = {{L"/qn", true}, {L"/qb!", false}, {L"", true}};
  for (const Case& level : kLevels) {
    CActionListWorld world(dcf, level.uiLevel);
    CActionListMap lists;
    ASSERT_TRUE(CInstallActionLoader(*world.sources).LoadInstallActions(
        {L"Alpha.Late", L"Alpha.Early", L"Alpha.Tool", L"Alpha.Same"}, &lists));
    EXPECT_EQ(L"4005 InstallActions.Alpha.Early, 4005 InstallActions.Alpha.Tool, "
              L"4010 InstallActions.Alpha.Late, 4010 InstallActions.Alpha.Same",
              Describe(lists, L"INSTALL_ACTIONS"));
    auto it = CSetupActionList::Find(lists, L"INSTALL_ACTIONS")->begin();
    auto* early = static_cast<CInstallAction*>((it++)->get());
    auto* tool = static_cast<CInstallAction*>((it++)->get());
    auto* late = static_cast<CInstallAction*>((it++)->get());
    EXPECT_EQ(L"", early->GetProductCode());
    EXPECT_EQ(L"C:\\x", early->GetOverrideInstallDir());
    EXPECT_EQ(level.msiexecCancel, early->IsCancelAllowed());
    EXPECT_FALSE(tool->IsCancelAllowed());
    EXPECT_TRUE(tool->IsNoUninstall());
    EXPECT_EQ(L"\"D:\\src\\tool.exe\" -i", tool->GetCommandLine());
    EXPECT_EQ(L"{A1}", late->GetProductCode());
    EXPECT_TRUE(late->RunsProductPackage());
    EXPECT_TRUE(late->IsNoRepair());
    EXPECT_EQ(L"Alpha Suite", late->GetProductName());
    EXPECT_EQ(L"Alpha", late->GetKeyName());
    EXPECT_EQ(CInstallAction::kNoWait, late->GetExecuteOptions());
    EXPECT_EQ(CInstallAction::kIgnore, late->GetReturnProcessing());
    EXPECT_EQ(L"MSIEXEC.EXE {setupparams} /x {A1} REMOVE=ALL", late->GetUninstallCommandLine());
  }
}

// A grouped product's package hides from the programs list unless ShowARP.
TEST(CInstallActionLoaderTest, HidesGroupedProductsFromTheProgramsList) {
  const std::string dcf =
      "[Setup]\r\nProducts=Alpha\r\n[Setup.Alpha]\r\nPackageName=alpha.msi\r\nPrimaryAction=Install\r\nInstallActions=Hidden,Shown\r\n"
      "[InstallActions.Alpha.Hidden]\r\nCommandLine={msiexec} /I a.msi\r\n"
      "[InstallActions.Alpha.Shown]\r\nCommandLine={msiexec} /I a.msi\r\nShowARP=1\r\n";
  CActionListWorld world(dcf, L"/qn");
  CInstallGroupInfo group;
  world.Product(L"Alpha")->SetInstallGroup(&group);
  CActionListMap lists;
  ASSERT_TRUE(CInstallActionLoader(*world.sources).LoadInstallActions({L"Alpha.Hidden", L"Alpha.Shown"}, &lists));
  auto it = lists[L"INSTALL_ACTIONS"]->begin();
  EXPECT_EQ(L"{msiexec} /I a.msi ARPSYSTEMCOMPONENT=1", static_cast<CInstallAction*>((it++)->get())->GetCommandLine());
  EXPECT_EQ(L"{msiexec} /I a.msi", static_cast<CInstallAction*>(it->get())->GetCommandLine());
}

// A bad line stops the load; what came before stays, items of unknown
// products are passed over.
const char kBadLines[] =
    "[Setup]\r\nProducts=Alpha\r\n[Setup.Alpha]\r\nPackageName=alpha.msi\r\nPrimaryAction=Install\r\n"
    "[InstallActions.Alpha.Good]\r\nCommandLine={msiexec} /I a.msi\r\n"
    "[InstallActions.Alpha.Bad]\r\nCommandLine=\"\"\r\n"
    "[InstallActions.Alpha.After]\r\nCommandLine={msiexec} /I b.msi\r\n";

TEST(CInstallActionLoaderTest, StopsAtABadlyFormedProgramLine) {
  CActionListWorld world(kBadLines, L"/qn");
  CActionListMap lists;
  EXPECT_FALSE(CInstallActionLoader(*world.sources).LoadInstallActions(
      {L"Omega.Good", L"Alpha.Good", L"Alpha.Bad", L"Alpha.After"}, &lists));
  EXPECT_EQ(L"4000 InstallActions.Alpha.Good", Describe(lists, L"INSTALL_ACTIONS"));
}

TEST_CHILD(LoadOneBadItem) {
  CActionListWorld world(kBadLines, L"/qn");
  CActionListMap lists;
  return CInstallActionLoader(*world.sources).LoadInstallActions({args.at(0)}, &lists) ? 1 : 0;
}

// The line names the item, so a misspelt action name can be found.
TEST(CInstallActionLoaderTest, BadLineNamesTheProductActionAndSection) {
  struct Case {
    const wchar_t* item;
    const wchar_t* line;
  } const kCases[] = {
      {L"Alpha.Bad", L"Badly formatted install action command line: '\"\"' of install action Bad of product Alpha "
                     L"in [InstallActions.Alpha.Bad]: its CommandLine names no program\r\n"},
      {L"Alpha.Mian", L"Badly formatted install action command line: '' of install action Mian of product Alpha "
                      L"in [InstallActions.Alpha.Mian]: the configuration has no such section\r\n"},
  };
  for (const Case& c : kCases) {
    CTestFolder folder;
    ASSERT_EQ(0u, RunChild(L"LoadOneBadItem", {c.item}, {{L"KWSETUP", folder.File(L"TAM_{ProductID}.log")}}));
    EXPECT_NE(std::wstring::npos, ReadUtf16File(folder.File(L"VELL_SETUP.LOG")).find(c.line)) << WideToUtf8(c.item);
  }
}

TEST(CInstallActionLoaderTest, GroupUninstallNeedsAKnownGroupAndKeepsOnlyItsInstalledProducts) {
  const std::string dcf =
      "[Setup]\r\nProducts=Alpha,Beta\r\n[Setup.Alpha]\r\nPackageName=alpha.msi\r\nPrimaryAction=Install\r\nProductCode={00000000-0000-0000-0000-00000000A1A1}\r\n"
      "[Setup.Beta]\r\nPackageName=beta.msi\r\nPrimaryAction=Install\r\n"
      "[InstallActions.Alpha.Install]\r\nCommandLine={msiexec} /I {PackageName}\r\n"
      "[InstallActions.Beta.Install]\r\nCommandLine={msiexec} /I {PackageName}\r\n";
  {
    CActionListWorld world(dcf, L"/qn /x {SUITE}");
    CActionListMap lists;
    EXPECT_FALSE(CInstallActionLoader(*world.sources).LoadUninstallGroupActions({L"Alpha.Install"}, &lists));
  }
  CActionListWorld world(dcf, L"/qn /x {suite}");
  std::unique_ptr<CInstallGroupInfo> removeGroup(new CInstallGroupInfo());
  removeGroup->SetUuid(L"{SUITE}");
  world.groups.SetAt(L"Remove", std::move(removeGroup));
  CActionListMap lists;
  EXPECT_FALSE(CInstallActionLoader(*world.sources).LoadUninstallGroupActions({L"Alpha.Install"}, &lists));
  std::unique_ptr<CInstallGroupInfo> suite(new CInstallGroupInfo());
  suite->SetUuid(L"{SUITE}");
  suite->AddMember(L"Alpha");
  world.groups.SetAt(L"default", std::move(suite));
  // Alpha is a member but not installed, Beta is no member: both leave.
  EXPECT_TRUE(CInstallActionLoader(*world.sources).LoadUninstallGroupActions(
      {L"Alpha.Install", L"Beta.Install"}, &lists));
  EXPECT_EQ(L"", Describe(lists, L"INSTALL_ACTIONS"));
  EXPECT_EQ(nullptr, world.Product(L"Alpha"));
  EXPECT_EQ(nullptr, world.Product(L"Beta"));
}
