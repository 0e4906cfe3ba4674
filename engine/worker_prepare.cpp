// worker_prepare.cpp: what runs just before the install list: the removal
// of earlier versions and incompatible applications, then of incompatible
// suites, and the products taken out of the run when a removal is refused.
#include "engine/worker.h"

#include <windows.h>

#include <vector>

#include "actions/command_options.h"
#include "actions/incompatible_suite_action.h"
#include "actions/ref_counter.h"
#include "actions/remove_action.h"
#include "engine/install_group_info.h"
#include "engine/suite_registration.h"
#include "foundation/reboot_support.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kSuiteRemovalList[] = L"*";
const wchar_t* const kProductActionLists[] = {L"INSTALL_ACTIONS", L"VERIFY_ACTIONS", L"SHUTDOWN_ACTIONS"};
const DWORD kAbortAll = ERROR_CANCELLED;                  // 1223
const DWORD kAbortProduct = ERROR_INSTALL_FAILURE;        // 1603: ABORTPROD or SETPROP
const DWORD kAbortNested = ERROR_CHILD_NOT_COMPLETE;      // 129

// A list is walked over a copy of its members: taking a product out of the
// run unlinks actions from the lists.
std::vector<CSetupAction*> Snapshot(const CSetupActionList& list) {
  std::vector<CSetupAction*> actions;
  for (const auto& entry : list) actions.push_back(entry.get());
  return actions;
}

}  // namespace

void CWorker::RemoveProductActions(const std::wstring& listName, const std::wstring& key) {
  CSetupActionList* list = CSetupActionList::Find(m_actionLists, listName);
  if (!list) return;
  for (auto& action : list->TakeActionsOf(key)) m_retiredActions.push_back(std::move(action));
}

// Every product that leaves the run with it (those that require it) loses
// its actions too. The product's own list goes when `dropOwnList`; its
// actions are kept alive, as the caller may be walking it.
void CWorker::TakeProductOutOfRun(const std::wstring& key, bool dropOwnList) {
  std::vector<std::wstring> before = m_productList.Keys();
  DisableProduct(key, false);
  for (const std::wstring& product : before) {
    if (m_productList.Contains(product)) continue;
    for (const wchar_t* listName : kProductActionLists) RemoveProductActions(listName, product);
  }
  if (!dropOwnList) return;
  auto own = m_actionLists.find(key);
  if (own == m_actionLists.end()) return;
  std::vector<CSetupAction*> actions = Snapshot(*own->second);
  for (CSetupAction* action : actions) RemoveProductActions(key, action->GetKeyName());
  m_actionLists.erase(own);
}

// The user's tick on the removal page decides, so no prompt is shown.
void CWorker::ApplyRemovalChoice(CRemoveAction* action, const std::wstring& target) {
  const CProductRemovalData* found = nullptr;
  for (const CProductRemovalData& record : m_state->m_productRemovalData) {
    if (action->GetActionName() == record.GetTargetKey()) {
      found = &record;
      break;
    }
  }
  if (!found) {
    WriteLog(L"No removal data found for action %s", action->GetActionName().c_str());
    return;
  }
  WriteLog(L"   Action %s for target %s selected: %s", action->GetActionName().c_str(), target.c_str(),
           found->IsChecked() ? L"TRUE" : L"FALSE");
  if (!action->IsSilent()) action->PresetAnswer(found->IsChecked() ? CRemoveAction::kRemove : CRemoveAction::kKeep);
}

DWORD CWorker::RunPrepareAction(CSetupAction* action, const std::wstring& target) {
  // A restart that the removal asks for continues the run at this action.
  HookRebootResume(action->GetSequence());
  CRemoveAction* removal = dynamic_cast<CRemoveAction*>(action);
  if (removal) ApplyRemovalChoice(removal, target);
  WriteLog(L"Executing setup action: %s", action->GetActionName().c_str());
  if (removal && m_interfaceThread.IsValid() && UiLevel() < CCommandOptions::kUILevelNoneWithEndDialog &&
      removal->Detect() == ERROR_SUCCESS && removal->GetDetectionState() == CRemoveAction::kFound) {
    m_state->m_cancelAllowed = 0;
  }
  DWORD result = action->Execute();
  WriteLog(L"   Action %s return code: %d", action->GetActionName().c_str(), result);
  // An uninstaller told not to restart asks for it all the same: owed at the
  // end of the run, like a package's.
  if (result == ERROR_SUCCESS && removal && removal->IsRebootRequired()) {
    WriteLog(L"   The removal of %s needs a restart to complete", removal->GetUninstallKey().c_str());
    m_state->m_rebootPending = 1;
  }
  if (!IsRebootExitCode(result)) UnhookRebootResume();
  return result;
}

// Why a product leaves the run with a removal that did not happen.
void CWorker::LogKeptRemoval(const CSetupAction* action, const std::wstring& product, DWORD result) const {
  const CRemoveAction* removal = dynamic_cast<const CRemoveAction*>(action);
  const wchar_t* why = L"its removal did not complete";
  if (removal && removal->HasRemovalFailed()) {
    why = L"its uninstall command failed";
  } else if (removal && removal->GetAnswer() == CRemoveAction::kKeep) {
    why = removal->IsSilent() ? L"decided without asking anyone" : L"the user chose to keep it";
  }
  WriteLog(L"   Product '%s' leaves the run: %s kept '%s' installed (%s), and its refusal takes the product out (%d)",
           product.c_str(), action->GetActionName().c_str(), removal ? removal->GetUninstallKey().c_str() : L"",
           why, result);
}

void CWorker::ExecutePrepareActions(int startSequence) {
  std::vector<std::wstring> targets = m_productList.Keys();
  targets.push_back(kSuiteRemovalList);
  bool abortAll = false;
  for (const std::wstring& target : targets) {
    bool suite = target == kSuiteRemovalList;
    // Taken out of the run by an earlier removal, with the product it requires.
    if (!suite && !m_productList.Contains(target)) continue;
    CSetupActionList* list = CSetupActionList::Find(m_actionLists, target);
    if (!list) continue;
    for (CSetupAction* action : Snapshot(*list)) {
      if (action->GetSequence() < startSequence) continue;
      DWORD result = RunPrepareAction(action, target);
      if (result == ERROR_SUCCESS) continue;
      if (IsRebootExitCode(result)) {
        RestartForPreparation(action->GetSequence());
        // A quiet run told not to restart goes on, and the restart is still
        // owed; the run gets past this action, so nothing is to resume at it.
        UnhookRebootResume();
        continue;
      }
      if (result == kAbortAll) {
        WriteLog(L"Aborting entire install process from ExecutePrepareActions");
        std::vector<std::wstring> keys = m_productList.Keys();
        for (const std::wstring& key : keys) m_productList.Remove(key);
        abortAll = true;
        break;
      }
      // The product is out of the run: the rest of its removals have no reason to run.
      if (result == kAbortProduct && !suite) {
        LogKeptRemoval(action, target, result);
        TakeProductOutOfRun(target, false);
        break;
      }
      if (result == kAbortNested && !suite && m_productList.Contains(target)) {
        LogKeptRemoval(action, target, result);
        TakeProductOutOfRun(target, true);
        break;
      }
    }
    if (abortAll) break;
  }
  if (!m_productList.Keys().empty()) return;
  if (!IsSilentLevel()) {
    ShowBox(LoadResourceString(IDS_CONFIGURATION_NOT_SUPPORTED), IDS_ERROR_CAPTION, MB_ICONERROR | MB_SETFOREGROUND);
  }
  AbortOnError(abortAll ? ERROR_INSTALL_USEREXIT : ERROR_INSTALL_FAILURE, false);
}

// Each member product of an incompatible suite loses that suite's reference
// and, when no other suite uses it, is uninstalled; a suite is unregistered
// only once none of its members is left.
void CWorker::ProcessIncompatibleSuite() {
  if (m_incompatibleSuiteLists.empty()) {
    WriteLog(L"Incompatible suite is empty. Go on with installation");
    return;
  }
  m_state->m_cancelAllowed = 0;
  // Its changes are final: the run's rollback must not give a removed
  // product its reference back.
  CRefCounter counter;
  bool kept = false;
  for (const std::wstring& name : m_incompatibleSuiteLists) {
    CSetupActionList* list = CSetupActionList::Find(m_actionLists, name);
    if (!list) continue;
    for (CSetupAction* entry : Snapshot(*list)) {
      CIncompatibleSuiteAction* action = dynamic_cast<CIncompatibleSuiteAction*>(entry);
      if (!action) continue;
      WriteLog(L"%s", ReplaceAll(LoadResourceString(IDS_UNINSTALLING_PRODUCT), L"_PRODUCT_NAME_",
                                 action->GetDisplayName()).c_str());
      action->SetRefCounter(&counter);
      DWORD result = action->Execute();
      action->SetRefCounter(nullptr);
      if (result != ERROR_SUCCESS) {
        WriteLog(L"   %s of incompatible suite %s could not be removed (error code %d); it keeps the suite's reference",
                 action->GetUninstallKey().c_str(), action->GetUser().c_str(), result);
        kept = true;
      }
      if (action->IsRebootRequired()) m_state->m_rebootPending = 1;
    }
  }
  CSuiteRegistration registration = MakeSuiteRegistration();
  for (const std::wstring& suite : m_incompatibleSuites) {
    CInstallGroupInfo group;
    group.SetUuid(suite);
    if (!group.FindMemberProducts()) {
      WriteLog(L"Unable to find member products of incompatible suite %s; its record stays", suite.c_str());
    } else if (!group.GetMembers().empty()) {
      WriteLog(L"Incompatible suite %s still has products installed; leaving its record intact", suite.c_str());
    } else {
      registration.RemoveSuiteRecord(suite);
    }
  }
  m_state->m_cancelAllowed = 1;
  // The suites cannot be installed side by side: a run that could not
  // remove the other one does not install beside it and say it did.
  if (kept) {
    WriteLog(L"An incompatible suite stays installed; this suite is not installed beside it");
    AbortOnError(ERROR_INSTALL_FAILURE, true);
  }
}
