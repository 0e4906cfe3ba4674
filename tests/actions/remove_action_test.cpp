// remove_action_test.cpp: removals of earlier and incompatible products run
// against Uninstall entries the test writes, with uninstallers that really
// delete the entry (reg.exe) or only end with a code, and a reference
// counter in memory whose end state is checked.
#include "actions/remove_action.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "actions/remove_incompatible_action.h"
#include "actions/remove_previous_action.h"
#include "engine/message_box.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/actions/memory_ref_counter.h"
#include "tests/actions/uninstall_fixture.h"

namespace {

// Yes to the first question of a case, no to any later one; a question
// whose Enter would uninstall gets no answer.
int g_boxes = 0;
int WINAPI AnswerYesOnce(HWND, LPCWSTR, LPCWSTR, UINT type) {
  ++g_boxes;
  return g_boxes == 1 && type == (MB_YESNO | MB_DEFBUTTON2 | MB_ICONEXCLAMATION | MB_SETFOREGROUND) ? IDYES : IDNO;
}

enum class EUninstaller { kDeletesEntry, kExit0, kExit1602, kExit1603 };
enum class EKind { kPrevious, kIncompatible };

struct Case {
  const wchar_t* scenario;
  EKind kind;
  bool installed;
  const wchar_t* deployedVersion;  // the entry holds 2.5
  bool force;
  bool silent;
  const wchar_t* detection;
  const wchar_t* prompt;
  EUninstaller uninstaller;
  const wchar_t* refusal;
  DWORD expected;
  bool installedAfter;
  size_t queuedAfter;  // users queued to be added again at commit
  int boxes;
  bool unattended = false;  // /qb- and /qb!: no box may wait for anyone
};

const Case kCases[] = {
    {L"newer deployed", EKind::kPrevious, true, L"3.0", false, true, L"UNINSTALLKEY", L"NONE",
     EUninstaller::kDeletesEntry, L"", 0, false, 2, 0},
    {L"same version kept", EKind::kPrevious, true, L"2.5", false, true, L"UNINSTALLKEY", L"NONE",
     EUninstaller::kDeletesEntry, L"ABORTPROD", 1603, true, 0, 0},
    {L"same version ignored", EKind::kPrevious, true, L"2.5", false, true, L"UNINSTALLKEY", L"NONE",
     EUninstaller::kDeletesEntry, L"IGNORE", 0, true, 0, 0},
    {L"same version forced", EKind::kPrevious, true, L"2.5", true, true, L"UNINSTALLKEY", L"NONE",
     EUninstaller::kDeletesEntry, L"", 0, false, 2, 0},
    {L"uninstaller cancelled", EKind::kPrevious, true, L"3.0", false, true, L"UNINSTALLKEY", L"NONE",
     EUninstaller::kExit1602, L"IGNORE", 0, true, 0, 0},
    {L"uninstaller failed", EKind::kPrevious, true, L"3.0", false, true, L"UNINSTALLKEY", L"NONE",
     EUninstaller::kExit1603, L"", 1603, true, 0, 0},
    // Whatever code it ended with, a product that stays is kept as its refusal says.
    {L"uninstaller failed, the refusal decides", EKind::kPrevious, true, L"3.0", false, true, L"UNINSTALLKEY",
     L"NONE", EUninstaller::kExit1603, L"ABORTALL", 1223, true, 0, 0},
    // An uninstaller that leaves the product: retried once, then kept.
    {L"uninstaller leaves it", EKind::kPrevious, true, L"3.0", false, true, L"UNINSTALLKEY", L"NONE",
     EUninstaller::kExit0, L"ABORTALL", 1223, true, 0, 0},
    {L"not installed", EKind::kPrevious, false, L"3.0", false, true, L"UNINSTALLKEY", L"NONE",
     EUninstaller::kDeletesEntry, L"", 0, false, 0, 0},
    {L"incompatible kept", EKind::kIncompatible, true, L"", false, true, L"UNINSTALLKEY", L"DEFAULT",
     EUninstaller::kDeletesEntry, L"ABORTNESTED", 129, true, 0, 0},
    {L"incompatible asked", EKind::kIncompatible, true, L"", false, false, L"UNINSTALLKEY", L"DEFAULT",
     EUninstaller::kDeletesEntry, L"", 0, false, 2, 1},
    {L"incompatible at an unattended level", EKind::kIncompatible, true, L"", false, false, L"UNINSTALLKEY",
     L"DEFAULT", EUninstaller::kDeletesEntry, L"ABORTNESTED", 129, true, 0, 0, true},
    {L"newer deployed at an unattended level", EKind::kPrevious, true, L"3.0", false, false, L"UNINSTALLKEY",
     L"DEFAULT", EUninstaller::kDeletesEntry, L"", 0, false, 2, 0, true},
    // Detection 120: found, and the user is asked with the program's box;
    // still found after the uninstall, the user is asked again and says no.
    {L"detection asks", EKind::kIncompatible, true, L"", false, false, L"PROGRAM,exit_with.exe,120", L"NONE",
     EUninstaller::kExit0, L"", 1603, true, 0, 2},
    // A prompt program answers with its exit code: 6 is IDYES.
    {L"program says yes", EKind::kPrevious, true, L"2.5", false, false, L"UNINSTALLKEY",
     L"PROGRAM,exit_with.exe,6", EUninstaller::kDeletesEntry, L"", 0, false, 2, 0},
    {L"program says no", EKind::kPrevious, true, L"3.0", false, false, L"UNINSTALLKEY",
     L"PROGRAM,exit_with.exe,7", EUninstaller::kDeletesEntry, L"SETPROP", 1603, true, 0, 0},
    {L"broken prompt", EKind::kPrevious, true, L"3.0", false, false, L"UNINSTALLKEY", L"PROGRAM,exit_with.exe",
     EUninstaller::kDeletesEntry, L"", 13, true, 0, 0},
    {L"broken detection", EKind::kPrevious, true, L"3.0", false, true, L"PROGRAM,exit_with.exe", L"NONE",
     EUninstaller::kDeletesEntry, L"", 13, true, 0, 0},
};

std::wstring UninstallString(EUninstaller uninstaller, const std::wstring& id) {
  switch (uninstaller) {
    case EUninstaller::kDeletesEntry:
      return Format(L"reg.exe delete \"HKLM\\%s%s\" /f /reg:32", CUninstallFixture::kRoot, id.c_str());
    case EUninstaller::kExit0: return ToolFolder() + L"exit_with.exe 0";
    case EUninstaller::kExit1602: return ToolFolder() + L"exit_with.exe 1602";
    case EUninstaller::kExit1603: return ToolFolder() + L"exit_with.exe 1603";
  }
  return L"";
}

}  // namespace

TEST(CRemoveActionTest, DetectsAsksUninstallsAndKeepsReferencesRight) {
  SetMessageBoxImplementation(AnswerYesOnce);
  int index = 0;
  for (const Case& row : kCases) {
    SCOPED_TRACE(WideToUtf8(row.scenario));
    CUninstallFixture entry(Format(L".%d", index++));
    if (row.installed) {
      ASSERT_TRUE(entry.Write(KEY_WOW64_32KEY,
                              {{L"DisplayName", L"Tamsa Old"}, {L"DisplayVersion", L"2.5"},
                               {L"UninstallString", UninstallString(row.uninstaller, entry.Id()).c_str()}}));
    }
    std::unique_ptr<CRemoveAction> action;
    if (row.kind == EKind::kPrevious) {
      auto previous = new CRemovePreviousAction(2050, L"Old", entry.Id());
      previous->SetDeployedVersion(row.deployedVersion);
      action.reset(previous);
    } else {
      action.reset(new CRemoveIncompatibleAction(2050, L"Old", entry.Id()));
    }
    CMemoryRefCounter counter;
    counter.users[entry.Id()] = {L"{SUITE-A}", L"{SUITE-B}"};
    counter.journal.push_back({true, L"{OTHER}", L"{X}"});  // an earlier action's entry
    counter.users[L"{X}"] = {L"{OTHER}"};
    action->SetRefCounter(&counter);
    action->SetSilent(row.silent);
    action->SetUnattended(row.unattended);
    action->SetForce(row.force);
    action->SetRefusal(row.refusal);
    action->SetSourceFolder(ToolFolder(), false);
    action->SetDetectionCommand(row.detection);
    action->SetPromptCommand(row.prompt);
    action->SetUninstallCommand(L"UNINSTALLKEY", true);
    g_boxes = 0;
    EXPECT_EQ(row.expected, action->Execute());
    EXPECT_EQ(row.installedAfter, entry.Exists(KEY_WOW64_32KEY));
    EXPECT_EQ(row.boxes, g_boxes);
    // Removed users come back unless the product went; then they wait for
    // the commit. Nobody else's journal entry is touched.
    EXPECT_EQ(row.queuedAfter, counter.queue.size());
    if (row.queuedAfter == 0 && row.installed) {
      Users users = counter.users[entry.Id()];
      std::sort(users.begin(), users.end());
      EXPECT_EQ((Users{L"{SUITE-A}", L"{SUITE-B}"}), users);
    }
    ASSERT_FALSE(counter.journal.empty());
    EXPECT_EQ(L"{OTHER}", counter.journal.front().user);
    EXPECT_EQ(Users{L"{OTHER}"}, counter.users[L"{X}"]);
  }
  SetMessageBoxImplementation(nullptr);
}

// A forced removal for suite A of a product that suites A and B use.
TEST(CRemoveActionTest, ProductOtherSuitesUseStays) {
  struct SharedCase {
    const wchar_t* suite;
    bool installedAfter;
    Users usersAfter;  // when it stays
    size_t queuedAfter;
  };
  const SharedCase kShared[] = {
      {L"{SUITE-A}", true, {L"{SUITE-B}"}, 0},
      {L"{SUITE-C}", true, {L"{SUITE-A}", L"{SUITE-B}"}, 0},
      {L"", false, {}, 2},
  };
  int index = 0;
  for (const SharedCase& row : kShared) {
    SCOPED_TRACE(index);
    CUninstallFixture entry(Format(L".%d", index++));
    ASSERT_TRUE(entry.Write(KEY_WOW64_32KEY,
                            {{L"DisplayName", L"Tamsa Shared"}, {L"DisplayVersion", L"2.5"},
                             {L"UninstallString", UninstallString(EUninstaller::kDeletesEntry, entry.Id()).c_str()}}));
    CRemovePreviousAction action(2050, entry.Id(), entry.Id());
    CMemoryRefCounter counter;
    counter.users[entry.Id()] = {L"{SUITE-A}", L"{SUITE-B}"};
    action.SetRefCounter(&counter);
    action.SetSuite(row.suite);
    action.SetSilent(true);
    action.SetForce(true);
    action.SetRefusal(L"IGNORE");
    action.SetDetectionCommand(L"UNINSTALLKEY");
    action.SetPromptCommand(L"NONE");
    action.SetUninstallCommand(L"UNINSTALLKEY", true);
    EXPECT_EQ(0u, action.Execute());
    EXPECT_EQ(row.installedAfter, entry.Exists(KEY_WOW64_32KEY));
    EXPECT_EQ(row.queuedAfter, counter.queue.size());
    if (row.installedAfter) {
      EXPECT_EQ(row.usersAfter, counter.users[entry.Id()]);
    }
    // What the run undoes on failure gives the product its users back.
    while (!counter.journal.empty()) counter.UndoLastOperation();
    Users users = counter.users[entry.Id()];
    std::sort(users.begin(), users.end());
    EXPECT_EQ((Users{L"{SUITE-A}", L"{SUITE-B}"}), users);
  }
}

TEST(CRemoveActionTest, PromptTextsNameTheInstalledProduct) {
  CRemoveIncompatibleAction action(1, L"Old", L"SetupTests.NoSuchEntry");
  EXPECT_EQ(L"Warning", action.GetTitleText());
  EXPECT_NE(std::wstring::npos, action.GetPromptText().find(L"Unknown product"));

  CUninstallFixture entry;
  ASSERT_TRUE(entry.Write(KEY_WOW64_64KEY, {{L"DisplayName", L"Tamsa Old"}, {L"UninstallString", L"x"}}));
  CRemovePreviousAction previous(1, L"Old", entry.Id());
  previous.SetDeployedVersion(L"3.1");
  previous.SetSetupLanguage(L"ENU");
  wchar_t system[MAX_PATH] = L"";
  GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_EQ(std::wstring(system) + L"\\MSIEXEC.EXE /x Tamsa Old 3.1 ENU _SETUP_INI_PATH_",
            previous.ExpandText(L"{msiexec} /x _PRODUCT_NAME_ _PRODUCT_VERSION_ _SETUP_LANG_ _SETUP_INI_PATH_"));
  EXPECT_EQ(0u, previous.GetPromptText().find(L"Setup has detected a previous version of Tamsa Old already"));
}
