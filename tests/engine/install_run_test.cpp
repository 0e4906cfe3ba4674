// install_run_test.cpp: the install actions as the run hands them to the
// action manager: expanded for the mode, switched to repair or removal, and
// carrying the user's choices.
#include "engine/install_run.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "actions/command_options.h"
#include "actions/install_action.h"
#include "actions/windows_command_options_system.h"
#include "engine/engine_settings.h"
#include "engine/install_group_info.h"
#include "engine/install_group_info_map.h"
#include "engine/replacement_map.h"
#include "engine/setup_state.h"
#include "gtest/gtest.h"
#include "platform/string_map.h"

namespace {

enum ERun { Install, Remove, Repair };

struct CRunCase {
  const char* name;
  ERun run;
  const wchar_t* commandLine;
  const wchar_t* expectedLine;
  const wchar_t* expectedUninstallLine;
  bool uninstall;
  bool repair;
};

}  // namespace

TEST(CInstallRunTest, CommandLinesFollowTheModeOfTheRun) {
  const CRunCase kCases[] = {
      {"Install", Install, L"MSIEXEC.EXE /i p.msi LOG={productid}-{INSTALL_MODE} D={Dir}",
       L"MSIEXEC.EXE /i p.msi LOG=P1-Install D=C:\\D", L"MSIEXEC.EXE /x P1 M=Uninstall", false, false},
      {"Remove", Remove, L"MSIEXEC.EXE /i p.msi", L"MSIEXEC.EXE /i p.msi",
       L"MSIEXEC.EXE /x P1 M=Uninstall", true, false},
      // The repair line replaces the install line before the expansion.
      {"Repair", Repair, L"MSIEXEC.EXE /i p.msi", L"MSIEXEC.EXE /f P1 Install",
       L"MSIEXEC.EXE /x P1 M=Uninstall", false, true},
  };
  for (const CRunCase& test : kCases) {
    SCOPED_TRACE(test.name);
    CSetupState state;
    state.SetProperty(L"Dir", L"C:\\D");
    state.m_setupType = test.run == Remove ? SetupTypeRemove : test.run == Repair ? SetupTypeRepair
                                                                                    : SetupTypeComplete;
    CReplacementMap macros(state);
    CInstallGroupInfoMap groups;
    CEngineSettings settings;
    CCommandOptions options(CWindowsCommandOptionsSystem::Instance());
    CMapStringToString properties;
    CInstallAction action(1, L"P1", L"Install", test.commandLine, L"", L"", &properties, L"", nullptr);
    action.SetUninstallCommandLine(L"MSIEXEC.EXE /x {ProductID} M={INSTALL_MODE}");
    action.SetRepairCommandLine(L"MSIEXEC.EXE /f {ProductID} {INSTALL_MODE}");
    std::vector<CInstallAction*> actions = {&action};
    CInstallRun run(macros, state, groups, settings, options);
    if (test.run == Repair) run.PrepareRepairActions(actions);
    run.PrepareCommandLines(actions);
    EXPECT_EQ(test.expectedLine, action.GetCommandLine());
    EXPECT_EQ(test.expectedUninstallLine, action.GetUninstallCommandLine());
    EXPECT_EQ(test.uninstall, action.IsUninstall());
    EXPECT_EQ(test.repair, action.IsRepair());
  }
}

TEST(CInstallRunTest, QuietRunPassesTheUsersChoicesAndTheSuiteId) {
  CSetupState state;
  state.SetUserName(L"Ann");
  state.m_eulaAccepted = 1;
  CReplacementMap macros(state);
  CInstallGroupInfoMap groups;
  CEngineSettings settings;
  settings.onlineAccess = false;
  CCommandOptions options(CWindowsCommandOptionsSystem::Instance());
  ASSERT_TRUE(options.Parse(L"C:\\kit\\", L"/qn"));
  CMapStringToString properties;
  CInstallAction action(1, L"P1", L"Install", L"{msiexec} /i p.msi", L"", L"", &properties, L"", nullptr);
  std::vector<CInstallAction*> actions = {&action};
  CInstallRun run(macros, state, groups, settings, options);
  SetLastError(0);
  EXPECT_FALSE(run.SetMPISuiteID(actions));
  EXPECT_EQ(13u, GetLastError());
  auto suite = std::make_unique<CInstallGroupInfo>();
  suite->SetUuid(L"{SUITE}");
  groups.SetAt(L"default", std::move(suite));
  EXPECT_TRUE(run.SetMPISuiteID(actions));
  run.AddUserProperties(actions);
  EXPECT_EQ(L"{msiexec} /i p.msi MPI_SUITE_ID=\"{SUITE}\" USERNAME=\"Ann\" MPI_EULA_ACCEPTED=1 "
            L"NO_ONLINE_ACCESS=1 MPI_SILENT=1",
            action.GetCommandLine());
}
