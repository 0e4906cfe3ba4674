// worker_shutdown.cpp: closing the applications and stopping the services
// that hold the products' files, after asking the user which of them run.
#include "engine/worker.h"

#include <windows.h>

#include <string>

#include "actions/shutdown_action.h"
#include "engine/files_in_use.h"
#include "engine/setup_host.h"
#include "foundation/setup_log.h"

namespace {

const wchar_t kShutdownActionsList[] = L"SHUTDOWN_ACTIONS";
const DWORD kInterfaceCancelWait = 60000;

}  // namespace

void CWorker::ExecuteShutdownActions() {
  bool silent = IsSilentLevel();
  for (;;) {
    CSetupActionList* actions = CSetupActionList::Find(m_actionLists, kShutdownActionsList);
    if (!actions) return;
    WriteLog(L"Starting ExecuteShutdownActions");
    TakeOpenWindowCensus();
    std::wstring text = FilesInUseText(*actions);
    bool asked = false;
    if (text.empty()) {
      WriteLog(L"   There are no applications needing to be shown in the 'Files in Use' dailog");
    } else if (!silent) {
      WriteLog(L"   Presenting 'Files in Use' dailog");
      asked = true;
      int answer = ShowFilesInUseDialog(m_host ? m_host->GetOwnerWindow() : nullptr, text, m_state.get());
      if (answer != IDOK && answer != IDCANCEL && answer != IDIGNORE) {
        // Nobody answered: closing the applications could lose unsaved work.
        WriteLog(L"   The 'Files in Use' dialog could not be shown (result %d); the applications are left open",
                 answer);
        return;
      }
      if (answer == IDCANCEL) {
        WriteLog(L"   The user chose 'Cancel'");
        CancelInterfaceForFilesInUse();
        throw static_cast<unsigned long>(ERROR_CANCELLED);
      }
      if (answer == IDIGNORE) {
        WriteLog(L"   The user chose 'Ingore'");
        return;
      }
      WriteLog(L"   The user chose 'OK'");
    }
    bool failed = false;
    for (const auto& action : *actions) {
      WriteLog(L"Executing shutdown action: %s", action->GetActionName().c_str());
      DWORD result = action->Execute();
      WriteLog(L"   Shutdown action %s return code: %d", action->GetActionName().c_str(), result);
      if (result != ERROR_SUCCESS) failed = true;
    }
    if (!failed || !asked) return;
    WriteLog(L"One of the applications did not close properly and setup will present the 'Files in Use' dialog again");
  }
}

// A run without a wizard is not given one just to cancel it: the run ends
// with the cancel status either way.
void CWorker::CancelInterfaceForFilesInUse() {
  if (!m_interfaceThread.IsValid() || m_interfaceThreadJoined) return;
  SetEvent(m_state->GetEvent(CancelUIEvent));
  DWORD wait = WaitForSingleObject(m_interfaceThread.Get(), kInterfaceCancelWait);
  DWORD error = GetLastError();
  if (wait == WAIT_OBJECT_0) {
    m_interfaceThreadJoined = true;
    WriteLog(L"Setup UI cancelled successfully");
  } else if (wait == WAIT_TIMEOUT) {
    WriteLog(L"Timed out while waiting for setup UI thread to cancel");
  } else {
    WriteLog(L"Failed waiting for UI thread to cancel. Error code = %08X", error);
  }
}
