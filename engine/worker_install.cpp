// worker_install.cpp: the main routine's steps around the install run: the
// repair list, the progress count, the properties every package gets, and
// the clean-up after a successful run.
#include "engine/worker.h"

#include <windows.h>

#include <vector>

#include "actions/command_options.h"
#include "actions/install_action.h"
#include "actions/setup_action_list.h"
#include "engine/install_run.h"
#include "foundation/setup_log.h"

namespace {

const wchar_t kInstallActionsList[] = L"INSTALL_ACTIONS";

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

// The progress display's number of steps: the install list's actions, each
// of which the action manager reports once, run or skipped. The removals
// and incompatible suites before it report no steps of their own.
DWORD CWorker::CountProgressSteps() const { return static_cast<DWORD>(InstallActions().size()); }

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
