// exit_restart.cpp: the finish page's restart thread and its replaceable
// restart request.
#include "wizard/exit_restart.h"

#include <windows.h>

#include <atomic>

#include "engine/setup_state.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "platform/thread.h"
#include "resources/resource_ids.h"
#include "wizard/wizard_text.h"

namespace {

// The request returns at once; this only bounds a hang.
const DWORD kRestartWaitMilliseconds = 30000;

BOOL SystemRestart() { return ExitWindowsEx(EWX_REBOOT, 0); }

std::atomic<ExitRestartFunction> g_restart{SystemRestart};

}  // namespace

void SetExitRestartImplementation(ExitRestartFunction function) {
  g_restart = function ? function : SystemRestart;
}

CExitRestart::CExitRestart(ExitRestartFunction restart, FailureBox failureBox)
    : m_restart(restart ? restart : g_restart.load()), m_failureBox(std::move(failureBox)) {}

bool CExitRestart::Run(CSetupState* state) {
  auto request = std::make_shared<CRequest>();
  request->restart = m_restart;
  auto* handed = new std::shared_ptr<CRequest>(request);
  DWORD error = ERROR_SUCCESS;
  CScopedHandle thread(StartThread(ThreadProc, handed, &error));
  if (!thread.IsValid()) {
    delete handed;
    WriteLog(L"Failed to start the reboot thread. Error code = %d", error);
  } else {
    WaitForSingleObject(thread.Get(), kRestartWaitMilliseconds);
  }
  if (request->outcome == 1) return true;
  if (request->outcome == 2 && m_failureBox) m_failureBox(LoadWizardString(IDS_EXIT_RESTART_FAILED, nullptr));
  // Still approved after a failure, the run would wait for a restart that
  // never comes.
  if (state) state->m_rebootApproved = 0;
  return false;
}

unsigned __stdcall CExitRestart::ThreadProc(void* parameter) {
  std::unique_ptr<std::shared_ptr<CRequest>> request(static_cast<std::shared_ptr<CRequest>*>(parameter));
  try {
    RequestRestart(**request);
  } catch (...) {
    WriteLog(L"Unknown exception thrown during reboot");
  }
  return 0;
}

// Each failing step is logged; the restart is still requested, which then
// fails on its own if the privilege was needed.
void CExitRestart::RequestRestart(CRequest& request) {
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &rawToken)) {
    WriteLog(L"Unable to open process token for reboot privilege; error code = %08X", GetLastError());
  } else {
    CScopedHandle token(rawToken);
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid)) {
      WriteLog(L"Unable to look up reboot privilege value; error code = %08X", GetLastError());
    } else {
      AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
      DWORD error = GetLastError();
      if (error != ERROR_SUCCESS) WriteLog(L"Unable to enable reboot privilege; error code = %08X", error);
    }
  }
  if (request.restart()) {
    request.outcome = 1;
    return;
  }
  DWORD error = GetLastError();
  WriteLog(L"Error shutting down Windows in setup UI; error code = %08X", error);
  request.outcome = 2;
}
