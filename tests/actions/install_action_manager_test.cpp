// install_action_manager_test.cpp: lists of real actions (a package run by
// the in-process runner, programs with chosen exit codes) run, waited for,
// cancelled through the shared state's events and rolled back, with the
// products' reference values read back from the registry.
#include "actions/install_action_manager.h"

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "actions/install_action.h"
#include "actions/msi_exec_runner.h"
#include "actions/msi_product_state.h"
#include "actions/ref_counter.h"
#include "actions/windows_installer_command.h"
#include "engine/product_data.h"
#include "engine/setup_state.h"
#include "foundation/registry_key.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/actions/uninstall_fixture.h"
#include "tests/support/msi_fixtures.h"
#include "tests/support/test_support.h"

namespace {

using Users = std::vector<std::wstring>;

const wchar_t kDeltaProduct[] = L"{9E4C6A53-AF51-4A84-8F3D-41526D7E8F91}";
const wchar_t kSuite[] = L"{5E1A7C00-0000-4000-8000-00000000AAAA}";
const wchar_t kOtherSuite[] = L"{5E1A7C00-0000-4000-8000-00000000BBBB}";

struct CProgressRecord {
  DWORD done;
  std::wstring text;  // "-" for none
  bool rollback;
};
std::mutex g_progressLock;
std::vector<CProgressRecord> g_progress;

void RecordProgress(CSetupState*, DWORD done, DWORD, const wchar_t* text, bool rollback) {
  std::lock_guard<std::mutex> lock(g_progressLock);
  g_progress.push_back({done, text ? text : L"-", rollback});
}

bool SawProgress(const std::wstring& text, bool rollback) {
  std::lock_guard<std::mutex> lock(g_progressLock);
  for (const CProgressRecord& record : g_progress) {
    if (record.text == text && record.rollback == rollback) return true;
  }
  return false;
}

DWORD LastDone() {
  std::lock_guard<std::mutex> lock(g_progressLock);
  return g_progress.empty() ? 0 : g_progress.back().done;
}

std::vector<std::wstring> RollbackTexts() {
  std::lock_guard<std::mutex> lock(g_progressLock);
  std::vector<std::wstring> texts;
  for (const CProgressRecord& record : g_progress) {
    if (record.rollback && StartsWith(record.text, L"Rolling back ") &&
        (texts.empty() || texts.back() != record.text)) {
      texts.push_back(record.text);
    }
  }
  return texts;
}

std::wstring ExitWith(DWORD code, DWORD milliseconds = 0) {
  return Format(L"\"%sexit_with.exe\" %u %u", ToolFolder().c_str(), code, milliseconds);
}

Users UsersOf(const std::wstring& key) {
  CRegistryKey entry;
  Users users;
  try {
    entry.Open(HKEY_LOCAL_MACHINE, CUninstallFixture::kRoot + key, KEY_QUERY_VALUE, false);
    entry.GetValueMultiSZ(L"UsedBy", &users);
  } catch (const CError&) {
    users = {L"<missing>"};
  }
  return users;
}

void RemoveDelta() {
  if (IsProductInstalled(kDeltaProduct)) RunMsiexec(L"/x " + std::wstring(kDeltaProduct) + L" /qn");
}

}  // namespace

class CInstallActionManagerTest : public testing::Test {
 protected:
  void SetUp() override {
    CRefCounter::SetReferenceCountingEnabled(true);
    SetWindowsInstallerRunner(RunMsiExecCommand);
    SetInstallProgressSink(RecordProgress);
    g_progress.clear();
    RemoveDelta();
  }
  void TearDown() override {
    WaitForWindowsInstallerThreads();
    RemoveDelta();
    SetInstallProgressSink(nullptr);
    SetWindowsInstallerRunner(nullptr);
    CRefCounter::SetReferenceCountingEnabled(false);
  }

  // An action of product `key` (added to the state's products).
  CInstallAction* Add(const std::wstring& key, const std::wstring& line, const wchar_t* options,
                      const wchar_t* processing = L"MSI") {
    if (!m_state.m_products.Lookup(key)) {
      m_state.m_products.SetAt(key, std::unique_ptr<CProductData>(new CProductData(key)));
    }
    m_actions.emplace_back(new CInstallAction(4000 + static_cast<int>(m_actions.size()), key,
                                              key + L".Install", line, options, processing,
                                              nullptr, L"", nullptr));
    CInstallAction* action = m_actions.back().get();
    action->SetProductName(key);
    action->SetRefCounter(&m_counter);
    action->SetRunsProductPackage(true);
    return action;
  }
  CInstallAction* AddDelta(const wchar_t* properties) {
    CInstallAction* action = Add(L"Delta", Format(L"MSIEXEC.EXE /qn /I \"%s\" %s",
                                                  MsiFixturePath(L"delta.msi").c_str(), properties),
                                 L"WAIT");
    action->SetProductCode(kDeltaProduct);
    action->SetUninstallCommandLine(L"MSIEXEC.EXE /qn /x " + std::wstring(kDeltaProduct));
    return action;
  }
  std::unique_ptr<CInstallActionManager> MakeManager() {
    std::vector<CSetupAction*> list;
    for (auto& action : m_actions) list.push_back(action.get());
    std::unique_ptr<CInstallActionManager> manager(new CInstallActionManager(list, &m_state, 0, 10));
    manager->SetGroupIdFunction([](const CProductData&, std::wstring* id) {
      *id = kSuite;
      return true;
    });
    return manager;
  }

  CSetupState m_state;
  CRefCounter m_counter;
  std::vector<std::unique_ptr<CInstallAction>> m_actions;
};

// A program fails after a package and two programs started: the run ends
// with the program's own code, and the rollback undoes the reference and
// the executed actions newest first, the failed one included.
TEST_F(CInstallActionManagerTest, FailureEndsWithItsCodeAndRollsBackNewestFirst) {
  CTestFolder folder;
  auto echo = [&](const wchar_t* word) {
    return Format(L"cmd.exe /c echo %s>>\"%s\"", word, folder.File(L"order.txt").c_str());
  };
  Add(L"Alpha", ExitWith(0), L"SYNC")->SetUninstallCommandLine(echo(L"alpha"));
  AddDelta(L"");
  Add(L"Gamma", ExitWith(0), L"NOWAIT")->SetUninstallCommandLine(echo(L"gamma"));
  Add(L"Fail", ExitWith(1603), L"SYNC")->SetUninstallCommandLine(echo(L"fail"));
  Add(L"Never", ExitWith(0), L"SYNC")->SetUninstallCommandLine(echo(L"never"));
  auto manager = MakeManager();

  DWORD firstError = 0;
  EXPECT_EQ(1603u, manager->RunActions(&firstError));
  EXPECT_EQ(1603u, firstError);
  EXPECT_EQ(0, m_state.m_rebootApproved.load());
  EXPECT_TRUE(SawProgress(L"Setup encountered an error during installation.  Error Code: 0643", false));
  // The package was waited for and counted before the run ended.
  EXPECT_TRUE(IsProductInstalled(kDeltaProduct));
  EXPECT_EQ((Users{kSuite}), UsersOf(kDeltaProduct));
  EXPECT_FALSE(m_actions[4]->IsExecuted());

  m_counter.RollbackOperations();
  EXPECT_EQ(0u, manager->RollbackActions(1603));
  EXPECT_FALSE(IsProductInstalled(kDeltaProduct));
  std::string order = ReadFileBytes(folder.File(L"order.txt"));
  std::string words;
  for (char c : order) {
    if (c != '\r' && c != ' ') words += c;
  }
  EXPECT_EQ("fail\ngamma\nalpha\n", words);
}

TEST_F(CInstallActionManagerTest, ExitCodesMapByReturnProcessingAndWaitOption) {
  const struct {
    DWORD code;
    const wchar_t* options;
    const wchar_t* processing;
    DWORD result;
    DWORD firstError;
    LONG rebootPending;
  } kCases[] = {
      {0, L"SYNC", L"MSI", 0, 0, 0},
      {1638, L"SYNC", L"MSI", 0, 0, 0},  // another version is installed
      {3010, L"WAIT", L"MSI", 0, 0, 1},
      {1641, L"SYNC", L"MSI", 0, 0, 1},
      {5, L"SYNC", L"STANDARD", 1, 1, 0},
      {7, L"SYNC", L"IGNORE", 0, 0, 0},
      {1603, L"NOWAIT", L"MSI", 0, 0, 0},  // never waited for
      {1603, L"WAIT", L"MSI", 1603, 1603, 0},
  };
  for (const auto& row : kCases) {
    SCOPED_TRACE(Format(L"%u %s %s", row.code, row.options, row.processing));
    m_actions.clear();
    m_state.m_rebootPending = 0;
    m_state.m_rebootApproved = 1;
    Add(L"Tool", ExitWith(row.code), row.options, row.processing);
    auto manager = MakeManager();
    DWORD firstError = 0;
    EXPECT_EQ(row.result, manager->RunActions(&firstError));
    EXPECT_EQ(row.firstError, firstError);
    EXPECT_EQ(row.rebootPending, m_state.m_rebootPending.load());
    EXPECT_EQ(row.result == 0 ? 1 : 0, m_state.m_rebootApproved.load());
  }
}

// Whether an action runs or only changes this suite's reference, from the
// values of its product's entry.
TEST_F(CInstallActionManagerTest, ReferenceCountsDecideWhetherActionsRun) {
  const struct {
    const wchar_t* name;
    bool uninstall;
    bool entry;
    bool counted;
    bool uninstallString;
    Users users;
    bool executed;
    Users after;
  } kCases[] = {
      {L"InstallUsedByOther", false, true, true, true, {kOtherSuite}, false, {kOtherSuite, kSuite}},
      {L"InstallNotYetThere", false, false, false, false, {}, true, {L"<missing>"}},
      {L"InstallSingleProduct", false, true, false, true, {}, false, {L"<missing>"}},
      {L"InstallUncountedLeftover", false, true, false, false, {}, true, {kSuite}},
      {L"UninstallShared", true, true, true, true, {kOtherSuite, kSuite}, false, {kOtherSuite}},
      {L"UninstallLastUser", true, true, true, true, {kSuite}, true, {kSuite}},
      {L"UninstallOthersOnly", true, true, true, true, {kOtherSuite}, false, {kOtherSuite}},
  };
  for (const auto& row : kCases) {
    SCOPED_TRACE(WideToUtf8(row.name));
    CUninstallFixture entry(std::wstring(L".") + row.name);
    if (row.entry) {
      std::vector<CUninstallValue> values = {{L"DisplayName", row.name}};
      if (row.uninstallString) values.push_back({L"UninstallString", L"remove.exe"});
      if (row.counted) values.push_back(Number(L"RefCount", static_cast<DWORD>(row.users.size())));
      ASSERT_TRUE(entry.Write(KEY_WOW64_32KEY, values));
      if (row.counted) {
        CRegistryKey key;
        key.Open(HKEY_LOCAL_MACHINE, CUninstallFixture::kRoot + entry.Id(),
                 KEY_SET_VALUE | KEY_WOW64_32KEY, false);
        key.SetValueMultiSZ(L"UsedBy", row.users);
      }
    }
    m_actions.clear();
    g_progress.clear();
    CInstallAction* action = Add(L"Tool", ExitWith(0), L"SYNC");
    // A program stands for the product: the installer knows none of these entries.
    m_state.m_products.Lookup(L"Tool")->SetWindowsInstallerPackage(false);
    action->SetProductCode(entry.Id());
    action->SetUninstall(row.uninstall);
    auto manager = MakeManager();
    DWORD firstError = 0;
    EXPECT_EQ(0u, manager->RunActions(&firstError));
    EXPECT_EQ(row.executed, action->IsExecuted());
    EXPECT_EQ(row.after, UsersOf(entry.Id()));
    // Run or skipped, the action is one step of the progress.
    EXPECT_EQ(1u, LastDone());
  }
}

// A cancel asked for through the shared state's events while a program
// runs: confirmed, the run ends with 1223 and its rollback removes the
// package it installed; withdrawn, the run goes on to its end.
TEST_F(CInstallActionManagerTest, CancelConfirmedRollsBackWithdrawnGoesOn) {
  for (bool confirm : {true, false}) {
    SCOPED_TRACE(confirm ? "confirmed" : "withdrawn");
    m_actions.clear();
    g_progress.clear();
    AddDelta(L"");
    Add(L"Sleeper", ExitWith(0, 4000), L"SYNC");
    Add(L"Last", ExitWith(0), L"SYNC");
    auto manager = MakeManager();
    std::thread user([&] {
      for (int i = 0; i < 600 && !SawProgress(L"Installing Sleeper", false); ++i) Sleep(50);
      Sleep(500);
      m_state.Signal(CancelRequestEvent);
      Sleep(500);
      m_state.Signal(confirm ? CancelConfirmedEvent : CancelAbortedEvent);
    });
    DWORD firstError = 0;
    DWORD result = manager->RunActions(&firstError);
    user.join();
    EXPECT_EQ(confirm ? 1223u : 0u, result);
    EXPECT_EQ(0u, firstError);
    EXPECT_EQ(!confirm, m_actions[2]->IsExecuted());
    EXPECT_TRUE(IsProductInstalled(kDeltaProduct));
    if (!confirm) continue;
    m_counter.RollbackOperations();
    EXPECT_EQ(0u, manager->RollbackActions(result));
    EXPECT_FALSE(IsProductInstalled(kDeltaProduct));
    EXPECT_EQ((Users{L"<missing>"}), UsersOf(kDeltaProduct));
    EXPECT_EQ((std::vector<std::wstring>{L"Rolling back Sleeper", L"Rolling back Delta"}),
              RollbackTexts());
    EXPECT_EQ(0, m_state.m_cancelAllowed.load());
  }
}

// A package whose launch condition fails: the run ends with the
// installer's 1603, nothing is counted, and its rollback finds nothing to
// remove without failing.
TEST_F(CInstallActionManagerTest, FailingPackageEndsWithTheInstallersCode) {
  Add(L"Alpha", ExitWith(0), L"SYNC");
  AddDelta(L"FAILME=1");
  auto manager = MakeManager();
  DWORD firstError = 0;
  EXPECT_EQ(1603u, manager->RunActions(&firstError));
  EXPECT_EQ(1603u, firstError);
  EXPECT_FALSE(IsProductInstalled(kDeltaProduct));
  EXPECT_EQ(0u, m_counter.GetJournalSize());
  EXPECT_EQ(0u, manager->RollbackActions(1603));
  EXPECT_FALSE(m_actions[1]->IsExecuted());
}
