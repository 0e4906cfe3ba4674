#pragma once
// exit_restart.h: CExitRestart, the restart the user approved on the finish
// page: the shutdown privilege enabled on a thread of its own, then the
// restart request. The request is a replaceable call, so a test run can
// stand in for the machine's restart.
#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

class CSetupState;

// Requests the restart; TRUE when it was accepted (ExitWindowsEx).
using ExitRestartFunction = BOOL (*)();

// The call every later finish page uses; null restores the system's.
void SetExitRestartImplementation(ExitRestartFunction function);

class CExitRestart {
 public:
  // Shows the text of a failed restart to the user.
  using FailureBox = std::function<void(const std::wstring& text)>;

  // A null restart takes the one set above.
  CExitRestart(ExitRestartFunction restart, FailureBox failureBox);

  // Requests the restart and waits, bounded, until it was requested. A
  // failed request is logged and shown, and the state's restart approval
  // withdrawn so the run ends as one that still needs the restart. True
  // when the restart was requested.
  bool Run(CSetupState* state);

 private:
  // Shared with the thread, which may outlive a wait that ran out.
  struct CRequest {
    ExitRestartFunction restart;
    std::atomic<int> outcome{0};  // 0 pending, 1 requested, 2 failed
  };
  static unsigned __stdcall ThreadProc(void* parameter);
  static void RequestRestart(CRequest& request);

  ExitRestartFunction m_restart;
  FailureBox m_failureBox;
};
