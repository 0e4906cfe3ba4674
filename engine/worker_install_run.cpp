// worker_install_run.cpp: the install, repair or removal run itself: the
// action manager over the install actions, then the references committed
// and the suite registered, or everything this run did undone, references
// first, while the products' entries still exist.
#include "engine/worker.h"

#include <windows.h>

#include <vector>

#include "actions/command_options.h"
#include "actions/install_action.h"
#include "actions/install_action_manager.h"
#include "actions/msi_product_state.h"
#include "actions/ref_counter.h"
#include "actions/run_journal.h"
#include "actions/setup_action_list.h"
#include "engine/install_group_info.h"
#include "engine/install_run.h"
#include "engine/product_data.h"
#include "engine/source_redirection.h"
#include "engine/suite_registration.h"
#include "foundation/setup_log.h"

namespace {

const wchar_t kInstallActionsList[] = L"INSTALL_ACTIONS";

// The suite a product is counted for: its install group's id.
bool GroupIdOf(const CProductData& product, std::wstring* id) {
  if (!product.GetInstallGroup()) return false;
  *id = product.GetInstallGroup()->GetUuid();
  return !id->empty();
}

}  // namespace

CSuiteRegistration CWorker::MakeSuiteRegistration() {
  return CSuiteRegistration(*m_configuration, *m_replacements, *m_state, m_installGroups, m_settings,
                            *m_refCounter, m_commandLine->ProgramPath(),
                            m_commandLine->ConfigurationPath());
}

std::unique_ptr<CInstallActionManager> CWorker::MakeActionManager(
    const std::vector<CSetupAction*>& actions, DWORD progressTotal) {
  std::unique_ptr<CInstallActionManager> manager(
      new CInstallActionManager(actions, m_state.get(), 0, progressTotal));
  manager->SetForceReboot(m_options->GetRebootOption() == CCommandOptions::kRebootForce);
  manager->SetGroupIdFunction(GroupIdOf);
  std::vector<std::wstring> leaving = m_incompatibleSuites;
  const CInstallGroupInfo* installed = m_installGroups.Lookup(CInstallGroupInfoMap::kRemoveGroup);
  if (installed) leaving.push_back(installed->GetUuid());
  manager->SetLeavingSuites(leaving);
  return manager;
}

DWORD CWorker::RunInstall(DWORD progressTotal) {
  CSetupActionList* list = CSetupActionList::Find(m_actionLists, kInstallActionsList);
  std::vector<CInstallAction*> installActions = InstallActions();
  bool repair = m_state->m_setupType == SetupTypeRepair;
  // The repair list holds what is installed: an empty one has nothing to
  // repair, and a repair that did nothing is no success.
  if (repair && installActions.empty()) {
    DWORD missing = ReportMissingMembers();
    if (missing == ERROR_SUCCESS) WriteLog(L"No product of the suite is installed; there is nothing to repair");
    m_packLogs = true;
    AbortOnError(missing == ERROR_SUCCESS ? ERROR_UNKNOWN_PRODUCT : missing, true);
  }
  if (!list) return ERROR_SUCCESS;
  MakeInstallRun().PrepareCommandLines(installActions);
  std::vector<CSetupAction*> actions;
  for (const auto& entry : *list) actions.push_back(entry.get());
  std::unique_ptr<CInstallActionManager> manager = MakeActionManager(actions, progressTotal);
  CSuiteRegistration registration = MakeSuiteRegistration();
  bool removal = Mode() == CCommandOptions::kModeUninstall;
  if (!removal && !repair && Mode() != CCommandOptions::kModeRepair) {
    // The cache is what the suite's Uninstall and repair run later: one
    // the run cannot make its own ends the run while nothing is changed
    // (the log names why).
    if (registration.TakeOverCache() != ERROR_SUCCESS) {
      m_packLogs = true;
      AbortOnError(ERROR_INSTALL_FAILURE, true);
    }
  }
  DWORD firstError = ERROR_SUCCESS;
  DWORD result = manager->RunActions(&firstError);
  if (removal && result == ERROR_SUCCESS) {
    // A product kept at uninstall must not keep the record of a suite that is gone.
    bool keptProduct = false;
    for (CInstallAction* action : installActions) keptProduct = keptProduct || action->IsNoUninstall();
    if (!registration.RemoveInstallGroups(keptProduct, manager->GetOtherUsers())) {
      result = FailureCode(GetLastError());
    } else if (!keptProduct && !m_removalKeepsProducts) {
      result = registration.ConfirmSuiteRemoved();
    }
    if (result == ERROR_SUCCESS) RemoveEndedResumeEntry();
  } else if (result == ERROR_SUCCESS) {
    result = CommitRun(&registration, manager->GetOtherUsers(), repair);
    if (repair && result == ERROR_SUCCESS) result = ReportMissingMembers();
  }
  // Registered: nothing is left that a later run should undo.
  if (result == ERROR_SUCCESS) m_runJournal->Settle();
  // Only a cancel the user confirmed is forgiven in a repair; a repair that
  // failed is never reported as success.
  if (repair && result == ERROR_CANCELLED) result = ERROR_SUCCESS;
  m_refCounter->CleanStaleEntries();
  if (result != ERROR_SUCCESS && !removal && Mode() != CCommandOptions::kModeRepair) {
    m_refCounter->RollbackOperations();
    DWORD rollback = manager->RollbackActions(result);
    if (rollback != ERROR_SUCCESS) WriteLog(L"Rolling back the run ended with error code %d", rollback);
    m_refCounter->CleanStaleEntries();
    registration.DiscardConfigurationFiles();
    registration.RemoveInstallGroups(false, manager->GetOtherUsers());
  }
  m_runJournal->Settle();
  // Committed or rolled back: other suites may decide again.
  UnlockProductChanges();
  m_packLogs = true;
  if (result != ERROR_SUCCESS) AbortOnError(result, result != ERROR_CANCELLED);
  return result;
}

// The references of the run stay, an installed copy of the suite that is
// replaced loses its record, the configuration is kept beside the products
// other suites installed, and the suite is registered.
DWORD CWorker::CommitRun(CSuiteRegistration* registration, const std::vector<std::wstring>& otherUsers,
                         bool repair) {
  m_refCounter->CommitOperations(m_skipUsers);
  if (repair) return ERROR_SUCCESS;
  // From here the suite's record may be half written when the run is killed.
  m_runJournal->MarkRegistering();
  CInstallGroupInfo* installed = m_installGroups.Lookup(CInstallGroupInfoMap::kRemoveGroup);
  if (installed && !registration->RemoveInstallGroups(true, otherUsers)) {
    DWORD error = FailureCode(GetLastError());
    WriteLog(L"Failed removing group information for remove group '%s', error code = %d",
             installed->GetUuid().c_str(), error);
    return error;
  }
  DWORD cached = registration->CacheConfigurationFiles(InstallActions());
  if (cached != ERROR_SUCCESS) return cached;
  if (!InstalledAnything()) {
    WriteLog(L"No product of the suite was installed; the suite is not registered");
    return ERROR_SUCCESS;
  }
  RecordInstallFolders();
  return registration->SetupInstallGroups();
}

// An action that ran, or a product that counts the suite. Products that
// cannot all be read count as installed: the suite's entry is what can
// remove them.
bool CWorker::InstalledAnything() const {
  for (CInstallAction* action : InstallActions()) {
    if (action->IsExecuted()) return true;
  }
  const CInstallGroupInfo* group = m_installGroups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
  return !group || CInstallGroupInfo::HasInstalledMember(group->GetUuid());
}

// The cached product files keep the folders each package was installed
// with. A product this run did not install keeps what its install recorded.
void CWorker::RecordInstallFolders() {
  for (CInstallAction* action : InstallActions()) {
    CProductData* product = m_state->m_products.Lookup(action->GetKeyName());
    if (product && action->RunsProductPackage() && action->IsExecuted()) {
      product->SetInstallFolders(action->GetInstallFolders());
    }
  }
}

// The clean-system mode: every product of the suite is removed with its
// uninstall line, then the suite's record whatever still lists it. The
// manager's result: a removal that failed is not a clean system.
DWORD CWorker::UninstallByGroup() {
  std::vector<CSetupAction*> removals;
  std::vector<CInstallAction*> actions;
  for (CInstallAction* action : InstallActions()) {
    // A product that is not there is clean already.
    if (!action->GetProductCode().empty() && !IsProductInstalled(action->GetProductCode())) {
      WriteLog(L"   %s is not installed; nothing to remove", action->GetProductCode().c_str());
      continue;
    }
    action->SetUninstall(true);
    action->SetRepair(false);
    actions.push_back(action);
    removals.push_back(action);
  }
  MakeInstallRun().PrepareCommandLines(actions);
  for (CInstallAction* action : actions) action->SetCommandLine(action->GetUninstallCommandLine());
  std::unique_ptr<CInstallActionManager> manager =
      MakeActionManager(removals, static_cast<DWORD>(removals.size()));
  DWORD firstError = ERROR_SUCCESS;
  DWORD result = manager->RunActions(&firstError);
  if (result != ERROR_SUCCESS) {
    WriteLog(L"Uninstalling by install group ended with error code %d", result);
    return result;
  }
  if (!InstallActions().empty()) MakeSuiteRegistration().RemoveInstallGroups(true, manager->GetOtherUsers());
  return ERROR_SUCCESS;
}

void CWorker::BeginRunJournal() {
  // The runs whose failure keeps what they did keep no undo either.
  if (Mode() == CCommandOptions::kModeUninstall || Mode() == CCommandOptions::kModeRepair) return;
  const CInstallGroupInfo* suite = m_installGroups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
  if (!m_runJournal->Begin(suite ? suite->GetUuid() : std::wstring())) return;
  m_refCounter->KeepJournalIn(m_runJournal.get());
  for (CInstallAction* action : InstallActions()) action->SetRunJournal(m_runJournal.get());
}

void CWorker::JournalResumeEntry() {
  const CInstallGroupInfo* suite = m_installGroups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
  if (!m_runJournal->Begin(suite ? suite->GetUuid() : std::wstring())) return;
  m_runJournal->RecordResumeEntry(m_resumeValueName, m_rebootSupport.WrittenCommand(m_resumeValueName),
                                  SourceRedirection().WorkingCopyFolder());
}

DWORD CWorker::FailureCode(DWORD code) { return code == ERROR_SUCCESS ? ERROR_INSTALL_FAILURE : code; }
