// external_command_test.cpp: command descriptions parsed from a table, and
// every kind run for real: programs of ours, DLL entries of either calling
// convention and crashing ones (in a child process, with the log), and
// Uninstall entries written by the test in both registry views. Prompts are
// run by the removal tests.
#include "actions/external_command.h"

#include <windows.h>

#include <string>
#include <vector>

#include "actions/windows_installer_command.h"
#include "engine/setup_aggregate.h"
#include "foundation/setup_log.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/actions/uninstall_fixture.h"
#include "tests/support/test_support.h"

namespace {

using Kind = CExternalCommand::EKind;

struct ParseCase {
  const wchar_t* description;
  bool valid;
  Kind kind;
  const wchar_t* first;   // key or program
  const wchar_t* second;  // versions, arguments or entry point
  const wchar_t* third;   // languages
};

const ParseCase kParseCases[] = {
    {L"NONE", true, Kind::kNone, L"", L"", L""},
    {L"DEFAULT", true, Kind::kDefault, L"", L"", L""},
    {L"UNINSTALLKEY", true, Kind::kUninstallKey, L"", L"", L""},
    {L"UNINSTALLKEY,{A1},1.0-2.0,ENU;DEU", true, Kind::kUninstallKey, L"{A1}", L"1.0-2.0", L"ENU;DEU"},
    {L"NESTEDKEY,\"Key, with comma\"", true, Kind::kNestedKey, L"Key, with comma", L"", L""},
    {L"PROGRAM,\"C:\\My Tools\\x.exe\", /s /v", true, Kind::kProgram, L"C:\\My Tools\\x.exe", L"/s /v", L""},
    {L"PROGRAM,x.exe,", true, Kind::kProgram, L"x.exe", L"", L""},
    {L"DLL,probe.dll,Entry", true, Kind::kDll, L"probe.dll", L"Entry", L""},
    {L"PROGRAM,x.exe", false, Kind::kNone, L"", L"", L""},
    {L"PROGRAM,,/s", false, Kind::kNone, L"", L"", L""},
    {L"DLL,probe.dll,", false, Kind::kNone, L"", L"", L""},
    {L"program,x.exe,/s", false, Kind::kNone, L"", L"", L""},
    {L"REGKEY,x", false, Kind::kNone, L"", L"", L""},
    {L"", false, Kind::kNone, L"", L"", L""},
};

}  // namespace

TEST(CExternalCommandTest, ParsesDescriptionsAndNeverRunsABrokenOne) {
  for (const ParseCase& row : kParseCases) {
    CExternalCommand command(row.description);
    SCOPED_TRACE(WideToUtf8(row.description));
    EXPECT_EQ(row.valid, command.IsValid());
    EXPECT_EQ(row.kind, command.GetKind());
    if (command.IsKeyKind()) {
      EXPECT_EQ(row.first, command.GetKey());
      EXPECT_EQ(row.second, command.GetValidVersions());
      EXPECT_EQ(row.third, command.GetValidLanguages());
    } else if (row.kind == Kind::kProgram || row.kind == Kind::kDll) {
      EXPECT_EQ(row.first, command.GetProgram());
      EXPECT_EQ(row.second, row.kind == Kind::kDll ? command.GetEntryPoint() : command.GetArguments());
    }
    // A broken description is neither "found" nor "done".
    if (!row.valid) {
      EXPECT_EQ(13u, command.Run());
    }
  }
  EXPECT_EQ(0u, CExternalCommand(L"NONE").Run());
  EXPECT_EQ(1u, CExternalCommand(L"DEFAULT").Run());
}

TEST(CExternalCommandTest, ProgramExitCodesWithAndWithoutRebootSuppression) {
  struct Case {
    const wchar_t* description;
    bool suppressReboot;
    DWORD expected;
  } const kCases[] = {
      {L"PROGRAM,exit_with.exe,0", false, 0},
      {L"PROGRAM,exit_with.exe,6", false, 6},
      {L"PROGRAM,exit_with.exe,1641", false, 1641},
      {L"PROGRAM,exit_with.exe,3010", false, 3010},
      {L"PROGRAM,exit_with.exe,3010", true, 0},
      {L"PROGRAM,exit_with.exe,1641", true, 0},
      {L"PROGRAM,exit_with.exe,1603", true, 1603},
      {L"PROGRAM,no_such_program.exe,0", false, ERROR_FILE_NOT_FOUND},
  };
  for (const Case& row : kCases) {
    SCOPED_TRACE(WideToUtf8(row.description));
    CExternalCommand command(row.description);
    command.SetSourceFolder(ToolFolder());  // a bare file name runs from here
    command.SetSuppressReboot(row.suppressReboot);
    EXPECT_EQ(row.expected, command.Run());
  }
  // A full path is not joined to the source folder.
  CExternalCommand absolute(L"PROGRAM,\"" + ToolFolder() + L"exit_with.exe\",42");
  absolute.SetSourceFolder(L"C:\\no\\such\\folder\\");
  EXPECT_EQ(42u, absolute.Run());
}

// args: source folder, entry point (or "DLL,<path>,<entry>" description),
// working folder. Ends with the command's result, or 0xBAD when the current
// folder was not put back.
TEST_CHILD(RunDllCommand) {
  CSetupAggregate block;
  block.languageId = 1033;
  CopyToField(block.actionName, L"Remove probe");
  block.writeLog = WriteLog;
  g_setupAggregate = &block;
  SetCurrentDirectoryW(args[2].c_str());
  CExternalCommand command(StartsWith(args[1], L"DLL,") ? args[1]
                                                        : L"DLL,dll_action_probe.dll," + args[1]);
  command.SetSourceFolder(args[0]);
  DWORD result = command.Run();
  wchar_t folder[MAX_PATH] = L"";
  GetCurrentDirectoryW(MAX_PATH, folder);
  std::wstring expected = args[2];
  if (EndsWith(expected, L"\\")) expected.pop_back();
  return EqualsNoCase(folder, expected) ? static_cast<int>(result) : 0xBAD;
}

TEST(CExternalCommandTest, DllEntriesRunAndTheirCrashesAreCaughtAndReported) {
  std::wstring tools = ToolFolder();
  std::wstring toolsNoSlash = tools.substr(0, tools.size() - 1);
  struct Case {
    std::wstring entry;
    DWORD expected;
    std::wstring logLine;
  } const kCases[] = {
      {L"ProbeCdecl", 1033, L"dll probe: cdecl entry, action Remove probe, folder " + toolsNoSlash},
      {L"ProbeStdcall", 1033, L"dll probe: stdcall entry, action Remove probe, folder " + toolsNoSlash},
      {L"CrashAccessViolation", 574, L"Unknown exception thrown by DLL function in CExternalCommand::Run"},
      {L"ThrowForeignException", 574, L"Exception 0xE06D7363 in 'ThrowForeignException'"},
      {L"NoSuchEntry", 127, L"Could not load entry point 'NoSuchEntry' from module '" + tools +
                                L"dll_action_probe.dll'; error code = 0000007F"},
      {L"DLL,missing.dll,Entry", 126, L"Could not load module '" + tools + L"missing.dll'; error code = 0000007E"},
      {L"DLL,dll_action_probe.dll,", 13, L"The command 'DLL,dll_action_probe.dll,' could not be parsed"},
  };
  for (const Case& row : kCases) {
    SCOPED_TRACE(WideToUtf8(row.entry));
    CTestFolder folder;
    DWORD code = RunChild(L"RunDllCommand", {tools, row.entry, folder.Path()},
                          {{L"KWSETUP", folder.File(L"TAM_{ProductID}.log")}});
    EXPECT_EQ(row.expected, code);
    std::wstring log = ReadUtf16File(folder.File(L"VELL_SETUP.LOG"));
    EXPECT_NE(std::wstring::npos, log.find(row.logLine)) << WideToUtf8(log);
  }
}

namespace {

std::wstring g_startedInstallerLine;

// Stands in for the in-process runner: a thread that ends with 1605.
DWORD WINAPI EndWithUnknownProduct(LPVOID) { return ERROR_UNKNOWN_PRODUCT; }
DWORD RecordingRunner(const std::wstring& commandLine, HANDLE* thread) {
  g_startedInstallerLine = commandLine;
  *thread = CreateThread(nullptr, 0, EndWithUnknownProduct, nullptr, 0, nullptr);
  return ERROR_SUCCESS;
}

}  // namespace

TEST(CExternalCommandTest, UninstallEntriesAreFoundInEitherViewAndTheirCommandsRun) {
  const std::wstring exitWith = ToolFolder() + L"exit_with.exe";
  const std::wstring hkcuUninstall = L"Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  struct Case {
    REGSAM view;
    std::vector<CUninstallValue> values;
    std::wstring description;  // "%s" is the entry's id
    bool uninstall;
    bool suppressReboot;
    DWORD expected;
  };
  const std::wstring exit3010 = exitWith + L" 3010";
  const std::wstring exit6 = exitWith + L" 6";
  const Case kCases[] = {
      {KEY_WOW64_32KEY, {{L"DisplayName", L"Old"}, {L"UninstallString", L"x"}}, L"UNINSTALLKEY,%s", false, false, 0},
      {KEY_WOW64_64KEY, {{L"DisplayName", L"Old"}, {L"UninstallString", L"x"}}, L"UNINSTALLKEY,%s", false, false, 0},
      {0, {}, L"UNINSTALLKEY,%s", false, false, 1168},
      {KEY_WOW64_32KEY, {{L"UninstallString", L"x"}}, L"UNINSTALLKEY,%s", false, false, 1168},
      {KEY_WOW64_32KEY, {{L"UninstallString", L"x"}}, L"NESTEDKEY,%s", false, false, 0},
      {KEY_WOW64_64KEY, {{L"DisplayName", L"Old"}, {L"UninstallString", L"x"}}, L"NESTEDKEY,%s", false, false, 1168},
      {KEY_WOW64_32KEY, {{L"SuiteUninstallString", L"x"}}, L"UNINSTALLKEY,%s", false, false, 0},
      {KEY_WOW64_32KEY, {{L"DisplayName", L"Old"}, {L"UninstallString", L"x"}, {L"DisplayVersion", L"2.5"}},
       L"UNINSTALLKEY,%s,1.0-2.0", false, false, 1168},
      {KEY_WOW64_64KEY, {{L"DisplayName", L"Old"}, {L"UninstallString", L"x"}, {L"DisplayVersion", L"2.5"}},
       L"UNINSTALLKEY,%s,2.0-3.0", false, false, 0},
      {KEY_WOW64_32KEY, {{L"DisplayName", L"Old"}, {L"UninstallString", L"x"}, {L"BuildOEM", L"ENU"}},
       L"UNINSTALLKEY,%s,,DEU;ENU", false, false, 0},
      {KEY_WOW64_32KEY, {{L"DisplayName", L"Old"}, {L"UninstallString", L"x"}, {L"BuildOEM", L"ENU"}},
       L"UNINSTALLKEY,%s,,~ENU", false, false, 1168},
      {KEY_WOW64_32KEY, {{L"DisplayName", L"Old"}, {L"UninstallString", exit3010.c_str()}},
       L"UNINSTALLKEY,%s", true, false, 3010},
      {KEY_WOW64_64KEY, {{L"DisplayName", L"Old"}, {L"UninstallString", exit3010.c_str()}},
       L"UNINSTALLKEY,%s", true, true, 0},
      {KEY_WOW64_32KEY, {{L"DisplayName", L"Old"}, {L"UninstallString", exit6.c_str()}},
       L"UNINSTALLKEY,%s", true, false, 6},
      // A Windows Installer entry that may not be removed has no command:
      // nothing is waited for, and it is no success.
      {KEY_WOW64_32KEY, {{L"DisplayName", L"Old"}, Number(L"WindowsInstaller", 1), Number(L"NoRemove", 1)},
       L"UNINSTALLKEY,%s", true, false, 1603},
  };
  int index = 0;
  for (const Case& row : kCases) {
    CUninstallFixture entry(Format(L".%d", index++));
    std::wstring description = ReplaceAll(row.description, L"%s", entry.Id());
    SCOPED_TRACE(WideToUtf8(description));
    if (row.view) {
      ASSERT_TRUE(entry.Write(row.view, row.values));
    }
    CExternalCommand command(description);
    command.SetTLASearchKey(hkcuUninstall + entry.Id());
    command.SetUninstallMode(row.uninstall);
    command.SetSuppressReboot(row.suppressReboot);
    EXPECT_EQ(row.expected, command.Run());
  }
}

TEST(CExternalCommandTest, SilentUninstallOfAnInstallerProductBuildsItsCommandLine) {
  CUninstallFixture entry;
  ASSERT_TRUE(entry.Write(KEY_WOW64_32KEY, {{L"DisplayName", L"Old"}, Number(L"WindowsInstaller", 1),
                                            Number(L"NoRemove", 1)}));
  SetWindowsInstallerRunner(RecordingRunner);
  CExternalCommand command(L"UNINSTALLKEY," + entry.Id());
  command.SetUninstallMode(true);
  command.SetSilent(true);
  command.SetSuppressReboot(true);
  command.SetForce(true);  // accepted despite NoRemove
  DWORD result = command.Run();
  SetWindowsInstallerRunner(nullptr);
  EXPECT_EQ(1605u, result);  // the runner's thread exit code
  wchar_t system[MAX_PATH] = L"";
  GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_EQ(std::wstring(system) + L"\\MSIEXEC.EXE /x " + entry.Id() + L" REBOOT=ReallySuppress /qn REMOVE=ALL",
            g_startedInstallerLine);
}

TEST(RunWindowsInstallerCommandTest, EmptyCommandStartsNothingAndGivesNoHandle) {
  HANDLE handle = INVALID_HANDLE_VALUE;
  EXPECT_EQ(0u, RunWindowsInstallerCommand(L"  ", &handle));
  EXPECT_EQ(nullptr, handle);
  EXPECT_EQ(1603u, WaitForCommandExit(handle));
  // Without a runner an installer command line is refused, never "done".
  EXPECT_EQ(120u, RunWindowsInstallerCommand(L"msiexec.exe /i a.msi", &handle));
  EXPECT_EQ(nullptr, handle);
}
