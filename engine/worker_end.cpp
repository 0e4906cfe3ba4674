// worker_end.cpp: how a run ends: the abort with its message, the handlers'
// common path, and Cleanup, which always releases what the run holds and
// tells the host dialog.
#include "engine/worker.h"

#include <windows.h>

#include "actions/msi_dll.h"
#include "actions/ref_counter.h"
#include "actions/run_journal.h"
#include "engine/setup_host.h"
#include "engine/source_redirection.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {
const LONG kRestartDuringPreparation = 0x70669;

// The statuses that end a run which did what it was asked: only the others
// leave the user a way to the logs.
bool IsFailureStatus(LONG status) {
  return status != ERROR_SUCCESS && status != ERROR_SUCCESS_REBOOT_REQUIRED &&
         status != ERROR_SUCCESS_REBOOT_INITIATED && status != kRestartDuringPreparation;
}
}  // namespace

void CWorker::AbortOnError(DWORD code, bool show) {
  WriteLog(L"Aborting on error code %d", code);
  // The run changes no product from here on; other suites need not wait
  // while its box is read.
  UnlockProductChanges();
  if (!IsSilentLevel()) {
    std::vector<CLostProduct> lost;
    try {
      lost = ProductsNotRestored();
    } catch (...) {
      // The run still ends with its own code; the log lists them at the end.
      WriteLog(L"Unknown exception thrown while listing the products this run removed");
    }
    // The wizard's last page, reached once this run ends, must not say
    // that nothing changed: it names them as the box does.
    if (m_state) {
      std::vector<std::wstring> names;
      for (const CLostProduct& each : lost) names.push_back(each.name.empty() ? each.key : each.name);
      m_state->SetProductsNotRestored(names);
    }
    std::wstring text =
        ReplaceAll(LoadResourceString(IDS_SETUP_ERROR), L"_NUMBER_", Format(L"%04X", code));
    if (show) ShowBox(text + ProductsNotRestoredText(lost), IDS_ERROR_CAPTION, MB_ICONERROR | MB_SETFOREGROUND);
  }
  throw static_cast<unsigned long>(code);
}

// The wizard must not outlive the state it works on: after a failure it is
// told to close, and either way it is waited for before Cleanup.
void CWorker::StopInterfaceThread(bool failure) {
  if (!m_interfaceThread.IsValid() || m_interfaceThreadJoined) return;
  if (failure && m_state) SetEvent(m_state->GetEvent(CancelUIEvent));
  WaitForSingleObject(m_interfaceThread.Get(), INFINITE);
  m_interfaceThreadJoined = true;
}

// Whichever step failed, the log names the earlier versions the run took
// for good, and the desktop gets its way to the logs before the run lets go
// of them; a run that took over has made its own.
DWORD CWorker::HandleFailure(LONG value) {
  StopInterfaceThread(value != 0);
  m_status = value;
  if (IsFailureStatus(value) && !m_handedOver) {
    try {
      LogRemovalsNotRestored();
    } catch (...) {
      WriteLog(L"Unknown exception thrown while listing the products this run removed");
    }
    try {
      CreateLogFolderShortcut();
    } catch (...) {
      // A handler lets nothing escape: the run ends with its own status.
      WriteLog(L"Unknown exception thrown while creating the log folder shortcut");
    }
  }
  Cleanup();
  return static_cast<DWORD>(value);
}

// That run has shown and logged what happened: this one reports it as it is.
void CWorker::EndWithResultOf(HANDLE process) {
  // The other setup shows its own windows; this run's says nothing true
  // while it waits.
  if (m_host) m_host->ShowHostWindow(false);
  DWORD code = ERROR_SUCCESS;
  if (WaitForSingleObject(process, INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(process, &code)) {
    DWORD error = GetLastError();
    WriteLog(L"Failed waiting for the setup that took over. Error code = %d", error);
    code = error != ERROR_SUCCESS ? error : static_cast<DWORD>(ERROR_INSTALL_FAILURE);
  } else {
    WriteLog(L"The setup that took over ended with exit code %d", code);
  }
  m_handedOver = true;
  throw static_cast<unsigned long>(code);
}

// The setup started here changes the suite in this run's place, so this run
// lets the suite's lock go before it starts; were it kept while this run
// waits, that setup would find the suite busy.
void CWorker::HandOverTo(const std::wstring& command) {
  bool locked = m_suiteLock.IsHeld();
  bool changing = m_productLock.IsHeld();
  m_suiteLock.Release();
  UnlockProductChanges();
  CScopedHandle process;
  if (CSourceRedirection::RestartSetup(command, &process) == ERROR_SUCCESS) EndWithResultOf(process.Get());
  if (locked && !LockSuite()) throw static_cast<unsigned long>(ERROR_INSTALL_ALREADY_RUNNING);
  if (changing) LockProductChanges();
}

// Only a resume after the restart still needs the copy; whatever else ended
// the run, nothing will start from it again.
void CWorker::RemoveWorkingCopyUnlessResumed() {
  std::wstring copy = m_sourceRedirection ? m_sourceRedirection->WorkingCopyFolder() : std::wstring();
  // The setup this run handed over to restarts Windows and resumes from the
  // copy, also when the restart has taken its entry already (Wine runs it at
  // once): removed now, the resume would start without its files.
  bool restartedByOther = m_handedOver && (m_status == ERROR_SUCCESS_REBOOT_INITIATED ||
                                           m_status == kRestartDuringPreparation);
  if (!copy.empty() && (restartedByOther || m_rebootSupport.ResumeEntryStartsIn(m_resumeValueName, copy))) {
    WriteLog(L"Keeping the temporary setup files in '%s' for the resume after the restart", copy.c_str());
    return;
  }
  WriteLog(L"Removing temporary reboot files in Cleanup");
  if (m_sourceRedirection) m_sourceRedirection->RemoveWorkingCopy();
}

void CWorker::Cleanup() {
  try {
    LogPropertyMaps();
    bool restartPending = m_state && m_state->m_rebootPending && m_state->m_rebootApproved;
    if (m_rebootHooked && !restartPending) {
      WriteLog(L"Unhooking reboot in Cleanup");
      m_rebootSupport.UnregisterRebootResume(m_resumeValueName);
      m_rebootHooked = FALSE;
    }
    if (m_mutex.IsValid()) {
      ReleaseMutex(m_mutex.Get());
      m_mutex.Reset();
    }
    m_suiteLock.Release();
    UnlockProductChanges();
    // Whatever this run did not undo itself it meant to keep.
    m_refCounter->KeepJournalIn(nullptr);
    m_runJournal->Settle();
    WriteLog(L"Worker exiting with status code: %08X, ResultCode = %d", m_status, m_status);
    UnloadMsiDll();
    RemoveWorkingCopyUnlessResumed();
    // A copy a resume started from, whose program still ran when this run began.
    CSourceRedirection::RemoveAbandonedWorkingCopies(&m_rebootSupport);
    if (m_packLogs) {
      m_packLogs = false;
      PackLogFiles();
    }
    if (m_host) m_host->EndHost(static_cast<DWORD>(m_status));
  } catch (...) {
    // Cleanup runs inside the handlers: nothing may escape it.
    WriteLog(L"Unknown exception thrown during install");
  }
}
