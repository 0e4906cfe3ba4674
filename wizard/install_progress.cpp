// install_progress.cpp: the progress callback of the action runner: moves
// the progress display the wizard or the host dialog published.
#include "wizard/setup_sheet.h"

#include <windows.h>
#include <commctrl.h>

#include "engine/setup_globals.h"
#include "engine/setup_state.h"
#include "foundation/setup_log.h"
#include "wizard/setup_sheet_rules.h"

void UpdateInstallProgress(CSetupState* state, DWORD done, DWORD total, const wchar_t* text,
                           bool rollback) {
  HWND bar = g_progressWindows.overallBar;
  HWND status = g_progressWindows.statusLine;
  if (!state || !bar || !status) return;
  // The runner's counts may run below zero or past the total.
  long doneCount = static_cast<long>(done);
  long totalCount = static_cast<long>(total);
  int percent = ProgressPercent(doneCount, totalCount);
  WriteLog(L"Updating %s progress: %d / %d, %s", rollback ? L"rollback" : L"install", doneCount, totalCount,
           text ? text : L"");
  ShowWindow(bar, SW_SHOWNOACTIVATE);
  if (text) {
    ShowWindow(status, SW_SHOWNOACTIVATE);
    SetWindowTextW(status, text);
  }
  SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  Sleep(10);
  state->Pulse(rollback ? RollbackProgressEvent : InstallProgressEvent);
}
