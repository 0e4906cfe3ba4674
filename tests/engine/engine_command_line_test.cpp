// engine_command_line_test.cpp: the engine's command line: the switches it
// hands on to packages, the settings and shared state it sets, and bad
// command lines that must end the run with 1639.
#include "engine/engine_command_line.h"

#include <windows.h>

#include <string>
#include <vector>

#include "actions/command_options.h"
#include "actions/windows_command_options_system.h"
#include "engine/engine_settings.h"
#include "engine/replacement_map.h"
#include "engine/setup_state.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

// What the worker hands the command line: its state, macros, options and
// settings.
class CCommandLineRun {
 public:
  CCommandLineRun()
      : m_options(CWindowsCommandOptionsSystem::Instance()),
        m_macros(m_state),
        m_commandLine(m_state, m_macros) {}

  // The program sits in `folder`; returns 0, or the code that ends the run.
  DWORD ParseArguments(const std::wstring& folder, const std::wstring& arguments) {
    std::wstring program = folder + L"setup.exe";
    return ParseProcessCommandLine(L"\"" + program + L"\" " + arguments, program);
  }
  DWORD ParseProcessCommandLine(const std::wstring& commandLine, const std::wstring& program) {
    return m_commandLine.Parse(commandLine, program, &m_options, &m_settings)
               ? ERROR_SUCCESS
               : ERROR_INVALID_COMMAND_LINE;
  }
  std::wstring Property(const std::wstring& name) const {
    std::wstring value = L"<absent>";
    m_state.GetProperty(name, &value);
    return value;
  }

  CSetupState m_state;
  CCommandOptions m_options;
  CReplacementMap m_macros;
  CEngineCommandLine m_commandLine;
  CEngineSettings m_settings;
};

class CEngineCommandLineTest : public ::testing::Test {
 protected:
  CTestFolder m_folder;
};

}  // namespace

TEST_F(CEngineCommandLineTest, HandsSwitchesAndPropertiesToPackages) {
  struct Case {
    const wchar_t* arguments;
    const wchar_t* setupParams;
    const wchar_t* uiLevel;
  };
  const Case kCases[] = {
      {L"", L" REBOOT=ReallySuppress", L"5"},
      {L"/qf", L" /qf REBOOT=ReallySuppress", L"5"},
      {L"/qr", L" /qr REBOOT=ReallySuppress", L"4"},
      {L"/qb!", L" /qb! REBOOT=ReallySuppress", L"3"},
      {L"/qn+", L" /qn+ REBOOT=ReallySuppress", L"2"},
      {L"FastInstall=3 /qn", L" /qn MSIFASTINSTALL=7 DISABLEROLLBACK=1 REBOOT=ReallySuppress",
       L"2"},
      {L"/qn /Silent /NoPrompt X=1", L" /qn X=1 REBOOT=ReallySuppress", L"2"},
      {L"/qb INSTALLDIR=\"C:\\my apps\" /norestart",
       L" /qb INSTALLDIR=\"C:\\my apps\" /norestart REBOOT=ReallySuppress", L"3"},
      {L"/qn REBOOT=\"ReallySuppress\" UEIP=1 NO_ONLINE_ACCESS=1",
       L" /qn NO_ONLINE_ACCESS=1 REBOOT=ReallySuppress", L"2"},
      {L"{lang}=ENU MENUFILE=ENU.mnu /qn", L" /qn MENUFILE=ENU.mnu REBOOT=ReallySuppress", L"2"},
      {L"DisableProducts=A INSTALLDIR=C:\\Apps /qn",
       L" /qn INSTALLDIR=C:\\Apps REBOOT=ReallySuppress", L"2"},
      {L"/qn /m report.mif PROP=\"a=b\"", L" /qn /m report.mif PROP=\"a=b\" REBOOT=ReallySuppress",
       L"2"},
      {L"/qn InstallSource=\"C:\\my kit\" RepairSource=C:\\r", L" /qn REBOOT=ReallySuppress", L"2"},
      // Words quoted whole, as deployment tools write them.
      {L"/qn \"X=1\" \"INSTALLDIR=C:\\my apps\"", L" /qn X=1 INSTALLDIR=\"C:\\my apps\" REBOOT=ReallySuppress",
       L"2"},
  };
  for (const Case& c : kCases) {
    CCommandLineRun run;
    ASSERT_EQ(0u, run.ParseArguments(m_folder.Path(), c.arguments)) << WideToUtf8(c.arguments);
    EXPECT_EQ(c.setupParams, CReplacementMap::BuildSetupParams(run.m_options, false)) << WideToUtf8(c.arguments);
    EXPECT_EQ(c.uiLevel, run.Property(L"UILevel")) << WideToUtf8(c.arguments);
  }
}

// With the engine's own wizard the packages run quietly, except for a repair
// or an uninstall that the user watches.
TEST_F(CEngineCommandLineTest, SuiteModeQuietsPackagesUnlessRepairOrUninstall) {
  struct Case {
    const wchar_t* arguments;
    const wchar_t* setupParams;
  };
  const Case kCases[] = {
      {L"/qb", L" /qn REBOOT=ReallySuppress"},
      {L"/qb /i a.msi X=1", L" /qn X=1 REBOOT=ReallySuppress"},
      {L"/qb /x a.msi", L" REBOOT=ReallySuppress"},
      {L"/qb /fvomus a.msi", L" REBOOT=ReallySuppress"},
      {L"/qn /x a.msi", L" /qn REBOOT=ReallySuppress"},
  };
  for (const Case& c : kCases) {
    CCommandLineRun run;
    ASSERT_EQ(0u, run.ParseArguments(m_folder.Path(), c.arguments)) << WideToUtf8(c.arguments);
    EXPECT_EQ(c.setupParams, CReplacementMap::BuildSetupParams(run.m_options, true)) << WideToUtf8(c.arguments);
  }
}

TEST_F(CEngineCommandLineTest, SetsSourcesRebootAndSetupType) {
  struct Case {
    const wchar_t* arguments;
    std::wstring installSource;
    LONG rebootApproved;
    LONG setupType;
  };
  const std::wstring folder = m_folder.Path();
  const Case kCases[] = {
      {L"", folder, 1, SetupTypeComplete},
      {L"InstallSource=C:\\src", L"C:\\src\\", 1, SetupTypeComplete},
      {L"InstallSource=\"C:\\my src\" /qn", L"C:\\my src\\", 1, SetupTypeComplete},
      {L"InstallSource=C:\\src\\", L"C:\\src\\", 1, SetupTypeComplete},
      {L"INSTALLSOURCE=C:\\src", folder, 1, SetupTypeComplete},
      {L"REBOOT=Force", folder, 1, SetupTypeComplete},
      {L"REBOOT=Suppress", folder, 0, SetupTypeComplete},
      {L"REBOOT=ReallySuppress", folder, 0, SetupTypeComplete},
      {L"REBOOT=\"ReallySuppress\"", folder, 0, SetupTypeComplete},
      {L"\"REBOOT=ReallySuppress\" \"InstallSource=C:\\my src\"", L"C:\\my src\\", 0, SetupTypeComplete},
      {L"CleanSystem=1 /qn", folder, 1, SetupTypeCleanSystem},
  };
  for (const Case& c : kCases) {
    CCommandLineRun run;
    ASSERT_EQ(0u, run.ParseArguments(folder, c.arguments)) << WideToUtf8(c.arguments);
    const CSetupState& state = run.m_state;
    EXPECT_EQ(c.installSource, state.m_installSource) << WideToUtf8(c.arguments);
    EXPECT_EQ(c.installSource, run.m_options.GetInstallSource()) << WideToUtf8(c.arguments);
    EXPECT_EQ(c.rebootApproved, state.m_rebootApproved) << WideToUtf8(c.arguments);
    EXPECT_EQ(c.setupType, state.m_setupType) << WideToUtf8(c.arguments);
  }
}

TEST_F(CEngineCommandLineTest, SetsTheEngineFlags) {
  CCommandLineRun run;
  run.m_state.SetProperty(L"DcfSchemaVersionCheck", L"1.0");  // as the worker sets it
  ASSERT_EQ(0u,
            run.ParseArguments(
                m_folder.Path(),
                L"/createlaunchpoint CleanSystem=1 FastInstall=1 PrepareUpdate=C:\\upd {lang}=FRA "
                L"DisableProducts=A,B Mandatory=0 ReturnRebootRequest=1 CleanupSourceFiles=1 "
                L"BASEPATH=C:/Apps/{DcfSchemaVersionCheck} RepairSource=\"C:\\r s\" /qn"));
  EXPECT_TRUE(run.m_settings.createLaunchPoint);
  EXPECT_TRUE(run.m_settings.cleanSystem);
  EXPECT_TRUE(run.m_settings.fastInstall);
  EXPECT_TRUE(run.m_settings.prepareUpdate);
  EXPECT_EQ(L"C:\\upd", run.m_settings.updateFolder);
  EXPECT_TRUE(run.m_settings.languageForced);
  EXPECT_FALSE(run.m_settings.languageDialogAllowed);
  EXPECT_EQ(L"FRA", run.m_settings.languageCode);
  EXPECT_EQ((std::vector<std::wstring>{L"B", L"A"}), run.m_settings.disabledProducts);
  EXPECT_TRUE(run.m_settings.mandatoryIgnored);
  EXPECT_TRUE(run.m_settings.returnRebootRequest);
  EXPECT_TRUE(run.m_settings.cleanupSourceFiles);
  EXPECT_EQ(L"C:\\Apps\\1.0", run.m_state.m_basePath);
  EXPECT_EQ(1, run.m_state.m_basePathSet);
  EXPECT_EQ(L"C:\\r s", run.m_state.m_repairSource);
  // Nine settings taken out, each at its own place, leave their blanks.
  EXPECT_EQ(L"/createlaunchpoint CleanSystem=1" + std::wstring(10, L' ') + L"/qn",
            run.m_commandLine.OptionsText());
}

TEST_F(CEngineCommandLineTest, ConfigurationFolderFollowsTheConfigurationName) {
  CCommandLineRun run;
  ASSERT_EQ(0u, run.ParseArguments(m_folder.Path(), L"sub\\OTHER.DCF /qn"));
  EXPECT_EQ(m_folder.Path(), run.m_commandLine.SetupFolder());
  EXPECT_EQ(m_folder.Path() + L"sub\\", run.m_commandLine.ConfigurationFolder());
}

TEST_F(CEngineCommandLineTest, SetupVersionIsTheProgramFileVersion) {
  CCommandLineRun run;
  ASSERT_EQ(0u, run.ParseProcessCommandLine(L"setup.exe /qn", TestExecutablePath()));
  EXPECT_EQ(L"3.58.94.0", run.Property(L"SetupVersion"));
}

TEST_F(CEngineCommandLineTest, BadCommandLinesEndWithInvalidCommandLine) {
  const std::wstring kArguments[] = {
      L"/",
      L"/qn /",
      L"/qn /s99999999999",
      L"/qn =x",
      L"/qn /s\"12",
      L"/qn REBOOT=Yes",
      L"/qn /x {6A2B1C00-0000-4000-8000-000000000001} REBOOT=Yes",
      L"/qn " + std::wstring(10000, L'a') + L"=1",
  };
  for (const std::wstring& arguments : kArguments) {
    CCommandLineRun run;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_COMMAND_LINE),
              run.ParseArguments(m_folder.Path(), arguments))
        << WideToUtf8(arguments.substr(0, 60));
  }
  for (const wchar_t* commandLine : {L"", L"   "}) {
    CCommandLineRun run;
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_COMMAND_LINE),
              run.ParseProcessCommandLine(commandLine, m_folder.File(L"setup.exe")));
  }
}

TEST_CHILD(CommandLineLogPath) {
  CCommandLineRun run;
  if (run.ParseArguments(args.at(0), L"/qn") != 0) return 2;
  return run.Property(L"LogPath") == args.at(1) ? 0 : 1;
}

// The property names the parent of the log's own folder.
TEST_F(CEngineCommandLineTest, LogPathComesFromTheLogSetting) {
  std::wstring parent = m_folder.Path().substr(0, m_folder.Path().size() - 1);
  EXPECT_EQ(0u, RunChild(L"CommandLineLogPath", {m_folder.Path(), parent},
                         {{L"KWSETUP", m_folder.File(L"Setup\\TAM_{ProductID}.log")}}));
  EXPECT_EQ(0u,
            RunChild(L"CommandLineLogPath", {m_folder.Path(), L"<absent>"}, {{L"KWSETUP", L"", true}}));
}
