// incompatible_suite_action_test.cpp: a member product of an incompatible
// suite loses only that suite's reference while others use it, is
// uninstalled by its last user, and keeps its reference when that fails.
#include "actions/incompatible_suite_action.h"

#include <windows.h>

#include <string>

#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/actions/memory_ref_counter.h"
#include "tests/actions/uninstall_fixture.h"

TEST(CIncompatibleSuiteActionTest, UninstallsOnlyForTheLastUserAndRestoresOnFailure) {
  const std::wstring exitWith = L"\"" + ToolFolder() + L"exit_with.exe\" ";
  struct Case {
    const wchar_t* key;
    Users users;
    std::wstring command;
    DWORD expected;
    Users usersAfter;
    bool reboot;
  } const kCases[] = {
      {L"{P}", {L"{OLD}", L"{OTHER}"}, exitWith + L"1603", 0, {L"{OTHER}"}, false},  // not run
      {L"{P}", {L"{OLD}"}, exitWith + L"0", 0, {}, false},
      {L"{P}", {L"{OLD}"}, exitWith + L"3010", 0, {}, true},
      {L"{P}", {L"{OLD}"}, exitWith + L"1603", 1603, {L"{OLD}"}, false},
      {L"{P}", {L"{OLD}"}, L"", 1603, {L"{OLD}"}, false},  // nothing to run is no success
      {L"{P}", {}, exitWith + L"1603", 0, {}, false},
      {L"", {L"{OLD}"}, exitWith + L"1603", 0, {L"{OLD}"}, false},
  };
  for (const Case& row : kCases) {
    SCOPED_TRACE(WideToUtf8(row.command) + " users " + std::to_string(row.users.size()));
    CMemoryRefCounter counter;
    counter.users[row.key] = row.users;
    CIncompatibleSuiteAction action(1, L"Old Suite Editor", row.key, L"{OLD}", row.command);
    action.SetRefCounter(&counter);
    EXPECT_EQ(row.expected, action.Execute());
    EXPECT_EQ(row.usersAfter, counter.users[row.key]);
    EXPECT_EQ(row.reboot, action.IsRebootRequired());
  }
}

TEST(CIncompatibleSuiteActionTest, CallsTheSuitesDllAndSurvivesItsCrash) {
  const std::wstring dll = ToolFolder() + L"dll_action_probe.dll";
  EXPECT_TRUE(CIncompatibleSuiteAction::CallIncompatibleSuiteDll(dll + L",ProbeStdcall"));
  EXPECT_TRUE(CIncompatibleSuiteAction::CallIncompatibleSuiteDll(dll + L",NoSuchEntry"));
  EXPECT_FALSE(CIncompatibleSuiteAction::CallIncompatibleSuiteDll(dll + L",CrashAccessViolation"));
  EXPECT_FALSE(CIncompatibleSuiteAction::CallIncompatibleSuiteDll(ToolFolder() + L"missing.dll,Entry"));
}
