// worker_install.cpp: the main routine's steps around the install run: the
// repair list, the progress count, the properties every package gets, and
// the clean-up after a successful run.
#include "engine/worker.h"

#include <windows.h>

#include <vector>

#include "actions/command_options.h"
#include "actions/install_action.h"
#include "actions/remove_action.h"
#include "actions/setup_action_list.h"
#include "engine/install_run.h"
#include "foundation/setup_log.h"

namespace {

const wchar_t kInstallActionsList[] = L"INSTALL_ACTIONS";
const wchar_t kSuiteRemovalList[] = L"*";

}  // namespace

std::vector<CInstallAction*> CWorker::InstallActions() const {
  std::vector<CInstallAction*> actions;
  CSetupActionList* list = CSetupActionList::Find(m_actionLists, kInstallActionsList);
  if (!list) return actions;
  for (const auto& entry : *list) {
    CInstallAction* action = dynamic_cast<CInstallAction*>(entry.get());
    if (action) actions.push_back(action);
  }
  return actions;
}

CInstallRun CWorker::MakeInstallRun() const {
  return CInstallRun(*m_replacements, *m_state, m_installGroups, m_settings, *m_options);
}

bool CWorker::PrepareRepairActions() {
  if (!CSetupActionList::Find(m_actionLists, kInstallActionsList)) {
    WriteLog(L"Uninstall action list not found");
    return true;
  }
  MakeInstallRun().PrepareRepairActions(InstallActions());
  return true;
}

// The removals that will run, the install actions and the incompatible
// suites' removals: the progress display's number of steps.
DWORD CWorker::CountProgressSteps() {
  DWORD steps = 0;
  std::vector<std::wstring> removalLists = {kSuiteRemovalList};
  removalLists.insert(removalLists.end(), m_productList.Keys().begin(), m_productList.Keys().end());
  for (const std::wstring& name : removalLists) {
    CSetupActionList* list = CSetupActionList::Find(m_actionLists, name);
    if (!list) continue;
    for (const auto& entry : *list) {
      CRemoveAction* removal = dynamic_cast<CRemoveAction*>(entry.get());
      if (!removal) continue;
      DWORD detected = removal->Detect();
      if (detected == ERROR_SUCCESS || detected == ERROR_CALL_NOT_IMPLEMENTED) ++steps;
    }
  }
  steps += static_cast<DWORD>(InstallActions().size());
  steps += static_cast<DWORD>(m_incompatibleSuiteLists.size());
  return steps;
}

void CWorker::AddUserProperties() {
  std::vector<CInstallAction*> actions = InstallActions();
  CInstallRun run = MakeInstallRun();
  if (m_productList.HasIndependentProducts() && Mode() != CCommandOptions::kModeUninstall &&
      !run.SetMPISuiteID(actions)) {
    AbortOnError(GetLastError(), true);
  }
  run.AddUserProperties(actions);
}

// Only a run that succeeded may take the files it ran from.
void CWorker::FinalCleanup(DWORD status) {
  if (status != ERROR_SUCCESS) return;
  DeleteUserAppDataFolder();
  if (Mode() != CCommandOptions::kModeNone) return;
  if (m_settings.cleanupSourceFiles) CleanupSourceFiles();
  CleanupLaunchPoint();
}
