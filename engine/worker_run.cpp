// worker_run.cpp: the second half of the main routine: the handshake with
// the wizard, the installation run and the end of the run.
#include "engine/worker.h"

#include <windows.h>

#include "actions/command_options.h"
#include "engine/removal_data_builder.h"
#include "engine/restart_handler.h"
#include "engine/setup_host.h"
#include "foundation/language_tla.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "platform/thread.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

const DWORD kRebootRequired = 3010;

}  // namespace

// False when the user cancelled before the installation started.
bool CWorker::RunWizardHandshake() {
  if (!m_suiteMode || UiLevel() >= CCommandOptions::kUILevelNoneWithEndDialog) {
    std::wstring code;
    uint8_t charSet = 0;
    LanguageIdToTla(m_state->m_primaryLanguageId, SUBLANGID(m_state->m_languageId), m_state->m_languageCode,
                    &code, &charSet);
    m_state->m_languageCode = code;
    SetSetupTypeFromMode();
    return true;
  }
  // Before the wizard's thread starts: no lock is needed for the records.
  CRemovalDataBuilder(m_actionLists, m_installGroups, m_state->m_products)
      .Build(m_productList.Keys(), &m_state->m_productRemovalData);
  // From /qb- on nobody answers a box: the question would hold the run for ever.
  if (UiLevel() > CCommandOptions::kUILevelFull && !IsSilentLevel() && Mode() == CCommandOptions::kModeUninstall) {
    std::wstring text = ReplaceAll(LoadResourceString(IDS_CONFIRM_REMOVE), L"[ProductName]",
                                   m_state->GetShortProductName());
    // Only Yes removes: Enter (No is the default), Escape or a closed box is
    // no consent.
    if (ShowBox(text, IDS_APP_NAME, MB_YESNO | MB_DEFBUTTON2 | MB_SETFOREGROUND) != IDYES) {
      WriteLog(L"The user has elected not to uninstall the suite and exit");
      return false;
    }
  }
  SetSetupTypeFromMode();

  DWORD error = ERROR_SUCCESS;
  m_interfaceThread.Reset(StartThread(InterfaceThreadProc, this, &error));
  if (!m_interfaceThread.IsValid()) {
    WriteLog(L"Unable to launch user interface thread");
    AbortOnError(error, true);
  }
  // The thread's own handle is waited on too: a wizard that ends without
  // either signal must not leave the worker waiting for ever.
  HANDLE handles[] = {m_state->GetEvent(ProgressStartedEvent), m_state->GetEvent(CancelRequestEvent),
                      m_interfaceThread.Get()};
  DWORD wait = WaitForMultipleObjects(3, handles, FALSE, INFINITE);
  DWORD waitError = GetLastError();  // used only when the wait failed
  if (UiLevel() <= 1) {
    if (m_state->m_setupType == SetupTypeRepair) m_options->SetMode(CCommandOptions::kModeRepair);
    if (m_state->m_setupType == SetupTypeRemove) m_options->SetMode(CCommandOptions::kModeUninstall);
  }
  if (wait == WAIT_OBJECT_0) return true;
  if (wait == WAIT_OBJECT_0 + 1) return false;
  if (wait == WAIT_OBJECT_0 + 2) {
    DWORD threadResult = 0;
    GetExitCodeThread(m_interfaceThread.Get(), &threadResult);
    m_interfaceThreadJoined = true;
    WriteLog(L"The user interface thread ended before the installation started, result %d",
             threadResult);
    if (threadResult != ERROR_SUCCESS) throw static_cast<unsigned long>(threadResult);
    return false;
  }
  AbortOnError(waitError, true);
}

void CWorker::SetSetupTypeFromMode() {
  if (Mode() == CCommandOptions::kModeRepair) m_state->m_setupType = SetupTypeRepair;
  if (Mode() == CCommandOptions::kModeUninstall) m_state->m_setupType = SetupTypeRemove;
}

void CWorker::PrepareRepair() {
  if (m_state->m_setupType != SetupTypeRepair) return;
  if (!PrepareRepairActions()) {
    DWORD error = GetLastError();
    WriteLog(L"Failed creating repair action list.");
    AbortOnError(error, true);
  }
}

// False when the clean-system mode has done its job.
bool CWorker::RunCleanSystemMode() {
  if (!m_settings.cleanSystem) return true;
  LockProductChanges();
  DWORD result = UninstallByGroup();
  UnlockProductChanges();
  if (m_interfaceThread.IsValid() && !m_interfaceThreadJoined) {
    SetEvent(m_state->GetEvent(FinishEvent));
    WaitForSingleObject(m_interfaceThread.Get(), INFINITE);
    m_interfaceThreadJoined = true;
  }
  if (result != ERROR_SUCCESS) AbortOnError(result, true);
  return false;
}

// The result of the installation, repair or removal.
DWORD CWorker::RunTheInstallation() {
  LoadShutdownApplications();
  ExecuteShutdownActions();
  // From here until the run is committed or rolled back, what it decides
  // about each product holds: no other suite's run changes products.
  LockProductChanges();
  BeginRunJournal();
  ExecutePrepareActions(m_options->GetSSwitchValue());
  ProcessIncompatibleSuite();
  AddIconProperties();
  if (m_productList.IsMultiProduct()) AddInstallPathToCommandLine();
  AddUserProperties();
  // Counted once the removals are done: they may take products out of the run.
  return RunInstall(CountProgressSteps());
}

// The end of an install, repair or removal: the final clean-up, then the
// interface thread ends; a failure goes on to the handlers as the run's code.
void CWorker::FinishRun(DWORD result) {
  if (!m_settings.fastInstall) FinalCleanup(result);
  JoinInterfaceThread();
  // The handlers leave the shortcut to the logs.
  if (result != ERROR_SUCCESS && result != kRebootRequired) throw static_cast<unsigned long>(result);
}

void CWorker::JoinInterfaceThread() {
  if (!m_interfaceThread.IsValid() || m_interfaceThreadJoined) return;
  WriteLog(L"Setting the finish event for the setup UI");
  SetEvent(m_state->GetEvent(FinishEvent));
  DWORD wait = WaitForSingleObject(m_interfaceThread.Get(), INFINITE);
  m_interfaceThreadJoined = true;
  if (wait == WAIT_OBJECT_0) WriteLog(L"Setup UI finished successfully");
  else if (wait == WAIT_TIMEOUT) WriteLog(L"Timed out while waiting for setup UI thread to finish");
  else WriteLog(L"Failed waiting for UI thread to finish. Error code = %d", GetLastError());
}

DWORD CWorker::RoutineResult() {
  if (m_settings.returnRebootRequest && m_state->m_rebootPending) return kRebootRequired;
  return ERROR_SUCCESS;
}

// A run asked to return the restart request returns it and never
// restarts the machine itself.
void CWorker::RestartIfNeeded() {
  if (!m_state->m_rebootPending || !m_actionListsLoaded || m_settings.returnRebootRequest) return;
  // The finish page settles it with the user.
  if (m_interfaceThread.IsValid() && FinishPageAsksForRestart()) return;
  CRestartHandler restart(m_restartFunction);
  restart.InitiateReboot(m_state.get(), m_options->GetRebootOption(), UiLevel(), m_host);
}

bool CWorker::FinishPageAsksForRestart() const {
  return CRestartHandler::FinishPageAsks(m_options->GetRebootOption(), m_settings.returnRebootRequest, UiLevel());
}

void CWorker::HandleRebootDuringPreparation() {
  CRestartHandler restart(m_restartFunction);
  restart.HandleRebootDuringPreparation(m_options->GetRebootOption(), UiLevel());
}
