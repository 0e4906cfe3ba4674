// action_list_loader_test.cpp: the lists one load builds from a suite's
// SETUP.DCF: which items reach which list, in which order, with which
// sequence numbers, names and silence; and the run-ending outcomes.
#include "engine/action_list_loader.h"

#include <string>

#include "actions/remove_previous_action.h"
#include "actions/shutdown_action.h"
#include "actions/va_custom.h"
#include "actions/va_current_version.h"
#include "actions/verify_action.h"
#include "engine/message_box.h"
#include "engine/shutdown_list_loader.h"
#include "engine/verify_list_loader.h"
#include "tests/engine/action_list_world.h"

namespace {

// Beta is the master; Alpha is not exempt from it.
const char kSuite[] =
    "[Setup]\r\nProducts=Alpha,Beta\r\nMaster=Beta\r\nUpgradeConditionEval=3\r\n"
    "[Setup.Alpha]\r\nPackageName=alpha.msi\r\nPrimaryAction=Install\r\nProductCode={A1}\r\n"
    "ProductVersion=1.0\r\nSuppressImplicitRemoves=1\r\n"
    "VerifyActions=Check\r\nUpgradeConditions=Old\r\nIncompatibleApplications=Rival\r\n"
    "PreviousVersions=Plain,Early\r\nInstallActions=Install\r\nShutdownApplications=Viewer,Broken\r\n"
    "[Setup.Beta]\r\nPackageName=beta.msi\r\nPrimaryAction=Install\r\nProductCode={B1}\r\n"
    "ProductVersion=2.0\r\nProductName=Beta Tools\r\nSuppressImplicitRemoves=1\r\n"
    "VerifyActions=Check\r\nUpgradeConditions=Old\r\nInstallActions=Install\r\n"
    "[Setup.*]\r\nShutdownApplications=Service\r\n"
    "[InstallActions.Alpha.Install]\r\nCommandLine={msiexec} /I {PackageName}\r\n"
    "[InstallActions.Beta.Install]\r\nSequence=1\r\nCommandLine={msiexec} /I {PackageName}\r\n"
    "[UpgradeConditions.Alpha.Old]\r\nUninstallKey={OLD}\r\n"
    "[UpgradeConditions.Beta.Old]\r\nUninstallKey={OLDB}\r\nSilent=1\r\n"
    "[VerifyActions.Alpha.Check]\r\nAction=PROGRAM,check.exe,{LangID} RebrandForX\r\nSilent=0\r\n"
    "[VerifyActions.Beta.Check]\r\nAction=PROGRAM,\r\n"
    "[IncompatibleApplications.Alpha.Rival]\r\nName=Rival\r\nUninstallKey={RIVAL}\r\n"
    "Detection=UNINSTALLKEY\r\nPrompt=DEFAULT\r\nUninstallCommand=UNINSTALLKEY\r\n"
    "[PreviousVersions.Alpha.Plain]\r\nName=Plain\r\nDetection=UNINSTALLKEY,{P}\r\nPrompt=NONE\r\nUninstallCommand=UNINSTALLKEY\r\n"
    "[PreviousVersions.Alpha.Early]\r\nSequence=5\r\nName=Early\r\nDetection=UNINSTALLKEY,{E}\r\nPrompt=NONE\r\nUninstallCommand=UNINSTALLKEY\r\n"
    "[ShutdownApplications.Alpha.Viewer]\r\nClassName=ViewerWnd\r\nServiceName=viewsvc\r\nWaitTime=500\r\nRequired=0\r\n"
    "[ShutdownApplications.Alpha.Broken]\r\nFriendlyName=Nothing to find\r\n"
    "[ShutdownApplications.*.Service]\r\nClassName=Spooler\r\nWindowTitle=Print\r\nMessageId=16\r\n";

}  // namespace

TEST(CActionListLoaderTest, LoadsEveryListOfAnInstall) {
  CActionListWorld world(kSuite, L"/qn");
  world.sources->languageId = 1031;
  CActionListLoader loader(*world.sources);
  CActionListMap lists;
  lists[L"stale"].reset(new CSetupActionList());
  ASSERT_EQ(CActionListLoader::kLoaded, loader.Load(false, &lists));
  EXPECT_EQ(L"-", Describe(lists, L"stale"));
  EXPECT_EQ(0, loader.UpgradeConditionMode());
  // Only the master's install action: Alpha is neither master nor exempt.
  EXPECT_EQ(L"4001 InstallActions.Beta.Install", Describe(lists, L"INSTALL_ACTIONS"));
  EXPECT_EQ(L"0 UpgradeConditions.Beta.Old, 1 UpgradeConditions.Alpha.Old", Describe(lists, L"UPGRADE_CONDITIONS"));
  EXPECT_EQ(L"500 VerifyActions.*.CheckPrompt, 501 VerifyActions.*.IsQualified, "
            L"502 VerifyActions.Beta.MSICorrectVersion, 503 VerifyActions.Alpha.MSICorrectVersion, "
            L"504 VerifyActions.Beta.Check, 505 VerifyActions.Alpha.Check",
            Describe(lists, L"VERIFY_ACTIONS"));
  EXPECT_EQ(L"0 IncompatibleApplications.Alpha.Rival, 2005 PreviousVersions.Alpha.Early, "
            L"2050 PreviousVersions.Alpha.Plain",
            Describe(lists, L"Alpha"));
  EXPECT_EQ(L"-", Describe(lists, L"Beta"));  // implicit removals suppressed

  // At /qn every check and removal is silent, whatever its own key says.
  for (const auto& action : *lists[L"VERIFY_ACTIONS"]) {
    EXPECT_TRUE(static_cast<CVerifyAction*>(action.get())->IsSilent()) << WideToUtf8(action->GetActionName());
  }
  auto* check = static_cast<CVACustom*>(std::prev(lists[L"VERIFY_ACTIONS"]->end())->get());
  EXPECT_EQ(L"1031 RequireX", check->GetCommand()->GetArguments());
  EXPECT_EQ(L"D:\\src\\Alpha\\", check->GetSourceFolder());
  auto* beta = static_cast<CVACustom*>(std::prev(lists[L"VERIFY_ACTIONS"]->end(), 2)->get());
  EXPECT_FALSE(beta->GetCommand()->IsValid());
  EXPECT_EQ(L"Beta Tools", beta->GetName());
  auto* early = static_cast<CRemoveAction*>(std::next(lists[L"Alpha"]->begin())->get());
  EXPECT_EQ(L"{E}", early->GetDetectionCommand()->GetKey());
  EXPECT_EQ(CRemoveAction::kAbortProduct, early->GetRefusal());
}

TEST(CActionListLoaderTest, ReadsTheUpgradeConditionMode) {
  const struct {
    const char* value;
    int mode;
  } kCases[] = {{"0", 0}, {"1", 1}, {"2", 2}, {"3", 0}, {" 1", 0}, {"", 0}};
  for (const auto& c : kCases) {
    CActionListWorld world(std::string("[Setup]\r\nProducts=Alpha\r\nUpgradeConditionEval=") + c.value + "\r\n", L"/qn");
    CVerifyListLoader loader(*world.sources);
    CActionListMap lists;
    loader.LoadUpgradeConditions({}, &lists);
    EXPECT_EQ(c.mode, loader.UpgradeConditionMode()) << c.value;
  }
}

TEST(CActionListLoaderTest, ShutdownActionsOfTheSuiteAndItsProducts) {
  CActionListWorld world(kSuite, L"/qb");
  CActionListMap lists;
  CShutdownListLoader(*world.sources).LoadShutdownApplications({}, &lists);
  // The malformed item is skipped without taking a number.
  EXPECT_EQ(L"3000 ShutdownApplications.*.Service, 3001 ShutdownApplications.Alpha.Viewer",
            Describe(lists, L"SHUTDOWN_ACTIONS"));
  auto it = lists[L"SHUTDOWN_ACTIONS"]->begin();
  auto* window = static_cast<CShutdownAction*>((it++)->get());
  auto* service = static_cast<CShutdownAction*>(it->get());
  EXPECT_EQ(L"Spooler", window->GetClassName());
  EXPECT_EQ(L"Print", window->GetWindowTitle());
  EXPECT_EQ(16u, window->GetMessageId());
  EXPECT_TRUE(window->IsRequired());
  EXPECT_EQ(L"*", window->GetKeyName());
  // A service name wins: the window fields are not kept.
  EXPECT_EQ(L"viewsvc", service->GetServiceName());
  EXPECT_EQ(L"", service->GetClassName());
  EXPECT_EQ(500u, service->GetWaitTime());
  EXPECT_FALSE(service->IsRequired());
  EXPECT_EQ(L"Alpha", service->GetKeyName());

  // A product a removal record names loads none; an earlier version's does.
  CActionListMap without;
  CShutdownListLoader(*world.sources).LoadShutdownApplications(
      {L"PreviousVersions.Alpha.Plain", L"IncompatibleApplications.*.Rival"}, &without);
  EXPECT_EQ(L"3000 ShutdownApplications.Alpha.Viewer", Describe(without, L"SHUTDOWN_ACTIONS"));
}

// A single-product run must never stop on a shutdown prompt, /qn included.
TEST(CActionListLoaderTest, ShutdownActionsOfASingleProductAreSilentAtEveryLevel) {
  const char kSingle[] =
      "[Setup]\r\nProducts=Alpha\r\n[Setup.Alpha]\r\nShutdownApplications=Viewer\r\n"
      "[ShutdownApplications.Alpha.Viewer]\r\nClassName=ViewerWnd\r\n";
  for (const wchar_t* level : {L"", L"/qb", L"/qb-", L"/qn+", L"/qn"}) {
    CActionListWorld world(kSingle, level);
    CActionListMap lists;
    CShutdownListLoader(*world.sources).LoadShutdownApplications({}, &lists);
    ASSERT_EQ(L"3000 ShutdownApplications.Alpha.Viewer", Describe(lists, L"SHUTDOWN_ACTIONS"));
    EXPECT_TRUE(static_cast<CShutdownAction*>(lists[L"SHUTDOWN_ACTIONS"]->begin()->get())->IsSilent())
        << WideToUtf8(level);
  }
}

namespace {

class CAnsweringVerifyLoader : public CVerifyListLoader {
 public:
  CAnsweringVerifyLoader(const CActionListSources& sources, DWORD answer)
      : CVerifyListLoader(sources), m_answer(answer) {}
  std::wstring checked;

 protected:
  DWORD RunCurrentVersion(CVACurrentVersion* action) override {
    checked += action->GetActionName() + L";";
    return m_answer;
  }

 private:
  DWORD m_answer;
};

int g_boxes = 0;
int WINAPI CountingBox(HWND, LPCWSTR, LPCWSTR, UINT) {
  ++g_boxes;
  return IDOK;
}

}  // namespace

// Another package of the only product ends the run with 1; several
// products, other answers and suppressed products go on.
TEST(CActionListLoaderTest, OtherInstalledPackageEndsASingleProductSetup) {
  const char kSingle[] =
      "[Setup]\r\nProducts=Alpha\r\n[Setup.Alpha]\r\nPrimaryAction=Install\r\nProductCode={A1}\r\n";
  const char kTwo[] =
      "[Setup]\r\nProducts=Alpha,Beta\r\n[Setup.Alpha]\r\nPrimaryAction=Install\r\nProductCode={A1}\r\n"
      "[Setup.Beta]\r\nPrimaryAction=Install\r\nSuppressImplicitRemoves=2\r\n";
  const struct {
    const char* dcf;
    const wchar_t* level;
    DWORD answer;
    bool ends;
    int boxes;
    const wchar_t* checked;
  } kCases[] = {
      {kSingle, L"/qb", 1, true, 1, L"VerifyActions.Alpha.CurrentVersion;"},
      {kSingle, L"/qb-", 1, true, 0, L"VerifyActions.Alpha.CurrentVersion;"},
      {kSingle, L"/qn", 0, false, 0, L"VerifyActions.Alpha.CurrentVersion;"},
      {kSingle, L"/qn", 3, false, 0, L"VerifyActions.Alpha.CurrentVersion;"},
      {kTwo, L"/qb", 1, false, 0, L"VerifyActions.Alpha.CurrentVersion;"},
  };
  SetMessageBoxImplementation(CountingBox);
  for (const auto& c : kCases) {
    g_boxes = 0;
    CActionListWorld world(c.dcf, c.level);
    CAnsweringVerifyLoader loader(*world.sources, c.answer);
    CActionListMap lists;
    bool ended = false;
    try {
      loader.LoadVerifyActions({}, &lists);
    } catch (unsigned long code) {
      ended = code == 1;
    }
    EXPECT_EQ(c.ends, ended) << WideToUtf8(c.level) << c.answer;
    EXPECT_EQ(c.boxes, g_boxes) << WideToUtf8(c.level) << c.answer;
    EXPECT_EQ(c.checked, loader.checked);
  }
  SetMessageBoxImplementation(nullptr);
}
