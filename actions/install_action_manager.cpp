// install_action_manager.cpp: runs one list of install actions on the worker
// thread and rolls back the executed ones, newest first, when one fails.
#include "actions/install_action_manager.h"

#include <windows.h>

#include <ctime>
#include <functional>
#include <vector>

#include "actions/install_action.h"
#include "actions/msi_external_ui.h"
#include "actions/windows_installer_command.h"
#include "engine/product_data.h"
#include "engine/setup_state.h"
#include "foundation/resource_strings.h"
#include "foundation/run_lock.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kProductNameField[] = L"_PRODUCT_NAME_";
const wchar_t kNumberField[] = L"_NUMBER_";
const DWORD kRebootInitiatedByInstaller = 0x70669;

InstallProgressSink g_progressSink = nullptr;

bool IsCancelCode(DWORD code) { return code == ERROR_CANCELLED || code == ERROR_INSTALL_USEREXIT; }

}  // namespace

void SetInstallProgressSink(InstallProgressSink sink) { g_progressSink = sink; }

CInstallActionManager::CInstallActionManager(const std::vector<CSetupAction*>& actions,
                                             CSetupState* state, DWORD progressStart,
                                             DWORD progressTotal)
    : m_state(state), m_done(progressStart), m_total(progressTotal) {
  for (CSetupAction* action : actions) {
    if (auto* install = dynamic_cast<CInstallAction*>(action)) m_actions.push_back(install);
  }
}

CInstallActionManager::~CInstallActionManager() = default;

bool CInstallActionManager::IsRebootExitCode(DWORD code) const {
  return m_forceReboot || code == ERROR_SUCCESS_REBOOT_INITIATED ||
         code == ERROR_SUCCESS_REBOOT_REQUIRED || code == kRebootInitiatedByInstaller;
}

CInstallAction* CInstallActionManager::FindActionByHandle(HANDLE handle, bool rollback) const {
  if (!handle) return nullptr;
  for (CInstallAction* action : m_actions) {
    if ((rollback ? action->GetRollbackHandle() : action->GetActionHandle()) == handle) return action;
  }
  return nullptr;
}

void CInstallActionManager::Progress(const wchar_t* text, bool rollback) {
  if (g_progressSink) g_progressSink(m_state, m_done, m_total, text, rollback);
}

std::wstring CInstallActionManager::ActionText(UINT id, const CInstallAction* action) const {
  return ReplaceAll(LoadResourceString(id), kProductNameField, action->GetProductName());
}

// What is done to the product, from its start to its end: a repair or a
// removal never reads "Installing".
std::wstring CInstallActionManager::RunningText(const CInstallAction* action) const {
  UINT id = action->IsUninstall() ? IDS_UNINSTALLING_PRODUCT
            : action->IsRepair()  ? IDS_REPAIRING_PRODUCT
                                  : IDS_INSTALLING_PRODUCT;
  return ActionText(id, action);
}

std::wstring CInstallActionManager::ErrorText(DWORD code) const {
  std::wstring text = ReplaceAll(LoadResourceString(IDS_SETUP_ERROR), L"\n", L" ");
  text = ReplaceAll(text, L"%", L"%%");
  return Format(ReplaceAll(text, kNumberField, L"%04X").c_str(), code);
}

DWORD CInstallActionManager::GetExitCode(const CInstallAction* action, HANDLE handle) const {
  if (!handle) return ERROR_INVALID_HANDLE;
  if (action->GetReturnProcessing() == CInstallAction::kIgnore) return ERROR_SUCCESS;
  DWORD code = 0;
  if (!GetExitCodeThread(handle, &code)) {
    DWORD error = GetLastError();
    // A program action's handle is a process, not a thread.
    if (error != ERROR_INVALID_HANDLE) return error;
    if (!GetExitCodeProcess(handle, &code)) return GetLastError();
  }
  switch (action->GetReturnProcessing()) {
    case CInstallAction::kMsi:
      return code;
    case CInstallAction::kStandard:
      return code == 0 ? 0 : 1;
    default:
      return 1;
  }
}

DWORD CInstallActionManager::RunActions(DWORD* firstError) {
  m_failed = false;
  m_userCancelled = false;
  if (!m_state) {
    WriteLog(L"Unable to execute RunActions with invalid data");
    return ERROR_INVALID_DATA;
  }
  m_properties = m_state->CopyProperties();
  for (CInstallAction* action : m_actions) action->SetProperties(&m_properties);
  // A cancel confirmed before this run must not cancel it.
  SetUserCancelled(false);
  m_waitHandles.assign(1, m_state->GetEvent(CancelRequestEvent));
  Progress(LoadResourceString(IDS_GATHERING_INFORMATION), false);

  DWORD result = RunLoop(firstError);
  if (result != ERROR_SUCCESS) EndLoop(result);
  result = WaitForRemaining(result, firstError);
  // Nothing of this list runs any more: a cancel now would stop nothing and
  // would only report a finished run as interrupted.
  m_state->m_cancelAllowed = 0;
  if (m_userCancelled) result = ERROR_CANCELLED;
  if (result != ERROR_SUCCESS && !IsCancelCode(result) && *firstError == 0) *firstError = result;
  if (m_failed) m_state->m_rebootApproved = 0;
  m_waitHandles.clear();
  CloseActionHandles();
  return result;
}

DWORD CInstallActionManager::RunLoop(DWORD* firstError) {
  while (m_current < m_actions.size()) {
    CInstallAction* action = m_actions[m_current++];
    m_taken = m_current;
    DWORD result = PollFinished(firstError);
    if (result != ERROR_SUCCESS) return result;
    result = RunOne(action, firstError);
    if (result != ERROR_SUCCESS) return result;
  }
  return ERROR_SUCCESS;
}

DWORD CInstallActionManager::PollFinished(DWORD* firstError) {
  for (;;) {
    HANDLE signalled = nullptr;
    DWORD result = WaitForCompletion(0, &signalled, firstError, true);
    if (result != ERROR_SUCCESS) {
      WriteLog(L"Failed while checking for signalled install events; exit code = %d", result);
      return result;
    }
    // Only a finished action asks for another look.
    if (!signalled || signalled == m_state->GetEvent(CancelRequestEvent)) return ERROR_SUCCESS;
  }
}

DWORD CInstallActionManager::RunOne(CInstallAction* action, DWORD* firstError) {
  if (action->IsExecuted() || static_cast<DWORD>(action->GetSequence()) < m_startSequence) {
    ++m_done;
    Progress(nullptr, false);
    return ERROR_SUCCESS;
  }
  // The installer takes one package at a time, and a package may need the
  // one before it: an installer action starts only when every earlier one
  // has finished and succeeded, and its decision sees their references.
  // Programs started before it go on running.
  if (action->RunsInInstaller()) {
    DWORD waited = WaitWhile([this] { return InstallerRuns(); }, firstError, true);
    if (waited != ERROR_SUCCESS) return waited;
  }
  EDecision decision = kExecute;
  DWORD result = Decide(action, &decision);
  if (result != ERROR_SUCCESS) return result;
  if (decision == kExecute) {
    NoteReplacedProducts(action);
    return ExecuteAndWait(action, firstError);
  }
  ++m_done;
  Progress(nullptr, false);
  return ERROR_SUCCESS;
}

DWORD CInstallActionManager::ExecuteAndWait(CInstallAction* action, DWORD* firstError) {
  m_state->m_cancelAllowed = action->IsCancelAllowed() ? 1 : 0;
  m_state->m_runningSequence = action->GetSequence();
  std::wstring text = RunningText(action);
  Progress(text, false);
  std::wstring nameText = action->GetName();
  const wchar_t* name = nameText.c_str();
  WriteLog(L"Executing setup action: %s", name);
  DWORD result = ERROR_SUCCESS;
  {
    // This run's locks are lent only to what it waits for.
    CLocksNotLent notLent(action->GetExecuteOptions() == CInstallAction::kNoWait);
    result = action->Execute();
  }
  WriteLog(L"   Action %s return code: %d", name, result);
  if (result != ERROR_SUCCESS) return result;

  HANDLE handle = action->GetActionHandle();
  switch (action->GetExecuteOptions()) {
    case CInstallAction::kNoWait:
      WriteLog(L"   Action %s is AsyncNoWait", name);
      ++m_done;
      Progress(text, false);
      return ERROR_SUCCESS;
    case CInstallAction::kSync:
      WriteLog(L"   Action %s is Sync", name);
      if (!handle) {
        WriteLog(L"   Action %s has SyncHandle equal NULL.", name);
        ++m_done;
        Progress(text, false);
        return ERROR_SUCCESS;
      }
      WriteLog(L"   Action %s has SyncHandle not equal NULL.", name);
      m_waitHandles.push_back(handle);
      return WaitWhile([this, handle] { return IsWaitedFor(handle); }, firstError, false);
    case CInstallAction::kWait:
    default:
      WriteLog(L"   Action %s is AsyncWait", name);
      if (!handle) {
        ++m_done;
        Progress(text, false);
      } else {
        m_waitHandles.push_back(handle);
      }
      return ERROR_SUCCESS;
  }
}

DWORD CInstallActionManager::WaitWhile(const std::function<bool()>& waiting, DWORD* firstError,
                                       bool showText) {
  while (waiting()) {
    HANDLE signalled = nullptr;
    DWORD result = WaitForCompletion(INFINITE, &signalled, firstError, showText);
    if (result == ERROR_SUCCESS) continue;
    if (IsCancelCode(result)) {
      WriteLog(L"Rolling back installation");
    } else {
      WriteLog(L"Failed while waiting for signalled install events; exit code = %d", result);
    }
    return result;
  }
  return ERROR_SUCCESS;
}

// A finished action's handle leaves the list as soon as it is taken.
bool CInstallActionManager::IsWaitedFor(HANDLE handle) const {
  for (size_t i = 1; i < m_waitHandles.size(); ++i) {
    if (m_waitHandles[i] == handle) return true;
  }
  return false;
}

bool CInstallActionManager::InstallerRuns() const {
  for (size_t i = 1; i < m_waitHandles.size(); ++i) {
    CInstallAction* action = FindActionByHandle(m_waitHandles[i], false);
    if (action && action->RunsInInstaller()) return true;
  }
  return false;
}

void CInstallActionManager::EndLoop(DWORD code) {
  std::wstring text;
  if (IsCancelCode(code)) {
    WriteLog(L"Caught cancelation exception while running install actions");
    m_state->m_cancelAllowed = 0;
    text = LoadResourceString(IDS_PREPARING_ROLLBACK);
  } else {
    WriteLog(L"Caught error %d exception while running install actions", code);
    text = ErrorText(code);
  }
  m_done += static_cast<DWORD>(m_waitHandles.size() - 1);
  m_failed = true;
  Progress(text, false);
}

DWORD CInstallActionManager::WaitForRemaining(DWORD result, DWORD* firstError) {
  while (m_waitHandles.size() > 1) {
    HANDLE signalled = nullptr;
    DWORD code = WaitForCompletion(INFINITE, &signalled, firstError, !m_failed);
    if (code == ERROR_SUCCESS) continue;
    if (IsCancelCode(code)) {
      m_failed = true;
      Progress(LoadResourceString(IDS_PREPARING_ROLLBACK), false);
    } else {
      WriteLog(L"Failed while waiting for finishing install events; exit code = %d", code);
    }
    // The first failure stays the run's result; a cancel here is no success.
    if (result == ERROR_SUCCESS) result = code;
    m_failed = true;
    // A wait that failed would fail again at once: the rest is left alone.
    if (!signalled) break;
  }
  return result;
}

DWORD CInstallActionManager::WaitForCompletion(DWORD timeout, HANDLE* handle, DWORD* firstError,
                                               bool showText) {
  *handle = nullptr;
  if (m_waitHandles.empty()) return ERROR_SUCCESS;
  DWORD count = static_cast<DWORD>(m_waitHandles.size());
  DWORD signalled = WaitForMultipleObjects(count, m_waitHandles.data(), FALSE, timeout);
  if (signalled == WAIT_TIMEOUT) return ERROR_SUCCESS;
  if (signalled == WAIT_FAILED || signalled - WAIT_OBJECT_0 >= count) {
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_INVALID_HANDLE;
  }
  size_t index = signalled - WAIT_OBJECT_0;
  *handle = m_waitHandles[index];
  if (index == 0) {
    bool confirmed = false;
    DWORD result = ConfirmCancel(&confirmed);
    if (result != ERROR_SUCCESS) {
      *handle = nullptr;
      return result;
    }
    if (!confirmed) return ERROR_SUCCESS;
    WriteLog(L"Installation canceled by user");
    m_userCancelled = true;
    return ERROR_CANCELLED;
  }
  DWORD result = ProcessFinishedInstallEvent(index, firstError, showText);
  if (IsCancelCode(result)) {
    WriteLog(L"Installation canceled by user");
  } else if (result != ERROR_SUCCESS) {
    // The action's own code: a failure is not reported as a cancel.
    WriteLog(L"Installation failed with error code %d", result);
  }
  return result;
}

DWORD CInstallActionManager::ConfirmCancel(bool* confirmed) {
  *confirmed = false;
  // Reset first: a request left signalled would be taken again at once.
  ResetEvent(m_state->GetEvent(CancelRequestEvent));
  // No installer message is answered until the user decides; programs run on.
  OpenCancelQuestion();
  HANDLE answers[2] = {m_state->GetEvent(CancelConfirmedEvent),
                       m_state->GetEvent(CancelAbortedEvent)};
  DWORD answer = WaitForMultipleObjects(2, answers, FALSE, INFINITE);
  DWORD error = answer == WAIT_FAILED ? GetLastError() : ERROR_SUCCESS;
  CloseCancelQuestion();
  if (answer != WAIT_OBJECT_0 && answer != WAIT_OBJECT_0 + 1) {
    if (error == ERROR_SUCCESS) error = ERROR_INVALID_HANDLE;
    WriteLog(L"Failed while waiting for user to confirm cancellation; error code = %d", error);
    return error;
  }
  ResetEvent(answers[answer - WAIT_OBJECT_0]);
  *confirmed = answer == WAIT_OBJECT_0;
  // The running installer answers its next progress message with cancel.
  if (*confirmed) SetUserCancelled(true);
  return ERROR_SUCCESS;
}

DWORD CInstallActionManager::ProcessFinishedInstallEvent(size_t index, DWORD* firstError,
                                                         bool showText) {
  if (index == 0 || index >= m_waitHandles.size()) {
    WriteLog(L"Invalid handle index %d in ProcessFinishedInstallEvent", static_cast<int>(index));
    return ERROR_INVALID_PARAMETER;
  }
  HANDLE handle = m_waitHandles[index];
  // Out of the list first: whatever follows, it is not taken again.
  m_waitHandles.erase(m_waitHandles.begin() + index);
  CInstallAction* action = FindActionByHandle(handle, false);
  if (!action) return ERROR_INVALID_HANDLE;
  DWORD code = GetExitCode(action, handle);
  std::wstring nameText = action->GetName();
  const wchar_t* name = nameText.c_str();
  // The start's "return code" is only whether it started: what the program
  // or package itself returned, and a restart it asks for, are told here.
  WriteLog(L"   Action %s finished with exit code %d", name, code);
  if (IsRebootExitCode(code)) {
    if (code != ERROR_SUCCESS) {
      WriteLog(L"   Action %s needs a restart (exit code %d): the restart is owed at the end of the run", name, code);
    }
    m_state->m_rebootPending = 1;
    code = ERROR_SUCCESS;
  }
  std::wstring text = showText ? RunningText(action) : std::wstring();
  if (!m_failed) ++m_done;
  Progress(showText ? text.c_str() : nullptr, false);
  if (code == ERROR_SUCCESS) {
    code = AddFinishedReference(action);
    if (code != ERROR_SUCCESS && *firstError == 0) *firstError = code;
    return code;
  }
  if (code == ERROR_PRODUCT_VERSION) {
    WriteLog(L"      Action %s stopped with exit code %d; not rolling back.", name, code);
    return ERROR_SUCCESS;
  }
  if (*firstError == 0) *firstError = code;
  WriteLog(L"   Action %s failed with exit code %d. ", name, *firstError);
  return code;
}

DWORD CInstallActionManager::RollbackActions(DWORD status) {
  if (!m_state) {
    WriteLog(L"Unable to execute RollbackActions with invalid data");
    return ERROR_INVALID_DATA;
  }
  // A cancel from before must not stop the uninstalls, and none is offered
  // while they run.
  SetUserCancelled(false);
  m_state->m_cancelAllowed = 0;
  bool plain = status == ERROR_SUCCESS || IsCancelCode(status);
  std::wstring firstText = plain ? LoadResourceString(IDS_PREPARING_ROLLBACK) : ErrorText(status);
  Progress(firstText, true);
  DWORD result = ERROR_SUCCESS;
  for (auto it = m_actions.rbegin() + (m_actions.size() - m_taken); it != m_actions.rend(); ++it) {
    CInstallAction* action = *it;
    if (!action->IsExecuted()) continue;
    std::wstring text = plain ? ActionText(IDS_ROLLING_BACK_PRODUCT, action) : ErrorText(status);
    Progress(text, true);
    std::wstring nameText = action->GetName();
    const wchar_t* name = nameText.c_str();
    WriteLog(L"Rolling back setup action: %s", name);
    if (KeptForOtherSuites(action)) {
      WriteLog(L"   Action %s leaves product %s installed", name, action->GetProductCode().c_str());
      --m_done;
      Progress(text, true);
      continue;
    }
    DWORD code = action->Rollback();
    WriteLog(L"   Action %s rollback return code: %d", name, code);
    if (code != ERROR_SUCCESS) result = code;
    HANDLE handle = action->GetRollbackHandle();
    if (!handle) {
      --m_done;
      Progress(text, true);
      continue;
    }
    code = WaitOne(handle, INFINITE, true);
    if (code == ERROR_UNKNOWN_PRODUCT) {
      WriteLog(L"   Action %s hadn't finished installing; rollback aborted", name);
    } else if (code != ERROR_SUCCESS) {
      WriteLog(L"Failed waiting for uninstall process to finish; exit code = %d", code);
      result = code;
    }
  }
  for (CInstallAction* action : m_actions) action->CloseRollbackHandle();
  return result;
}

DWORD CInstallActionManager::WaitOne(HANDLE handle, DWORD timeout, bool showText) {
  if (!handle) return ERROR_SUCCESS;
  DWORD signalled = WaitForSingleObject(handle, timeout);
  if (signalled == WAIT_TIMEOUT) return ERROR_SUCCESS;
  if (signalled == WAIT_FAILED) return GetLastError();
  return ProcessFinishedUninstallEvent(handle, showText);
}

DWORD CInstallActionManager::ProcessFinishedUninstallEvent(HANDLE handle, bool showText) {
  if (!handle) {
    WriteLog(L"Invalid handle %08X in ProcessFinishedUninstallEvent", 0u);
    return ERROR_INVALID_PARAMETER;
  }
  CInstallAction* action = FindActionByHandle(handle, true);
  if (!action) return ERROR_INVALID_HANDLE;
  DWORD code = GetExitCode(action, handle);
  if (IsRebootExitCode(code)) code = ERROR_SUCCESS;
  --m_done;
  std::wstring text = showText ? ActionText(IDS_ROLLING_BACK_PRODUCT, action) : std::wstring();
  Progress(showText ? text.c_str() : nullptr, true);
  return code;
}

void CInstallActionManager::CloseActionHandles() {
  for (CInstallAction* action : m_actions) action->CloseActionHandle();
}
