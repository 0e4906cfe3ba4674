// run_setup_wizard.cpp: the interface thread's wizard: COM for the thread,
// the sheet with its sequence, and the hand-back to the worker.
#include "wizard/setup_sheet.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "actions/install_action_manager.h"
#include "engine/setup_globals.h"
#include "engine/setup_state.h"
#include "foundation/setup_log.h"
#include "wizard/wiz_prop_page.h"

namespace {

// The worker waits for the installation to start or be cancelled: a sheet
// that ended without either must not leave it waiting.
void ReleaseWaitingWorker(CSetupState* state) {
  if (WaitForSingleObject(state->GetEvent(ProgressStartedEvent), 0) == WAIT_OBJECT_0) return;
  if (WaitForSingleObject(state->GetEvent(CancelRequestEvent), 0) == WAIT_OBJECT_0) return;
  WriteLog(L"The wizard ended before the installation started; the run is cancelled");
  state->Signal(CancelRequestEvent);
}

}  // namespace

DWORD RunSetupWizard(const CSetupWizardContext& context) {
  CSetupState* state = context.state;
  if (!state) return ERROR_INVALID_DATA;
  HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(result)) {
    WriteLog(L"ERROR: CoInitializeEx failed with: %x. Setup must exit.", result);
    SetLastError(static_cast<DWORD>(result));
    return ERROR_INVALID_DATA;
  }
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_LINK_CLASS | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  SetInstallProgressSink(UpdateInstallProgress);
  CProgressWindows hostWindows = g_progressWindows;
  {
    CSetupSheet sheet(context);
    sheet.LoadUiSequence();
    if (!state->m_maintenanceMode && state->m_startAtInstallLocation) sheet.SetActivePageByKind(kPageInstallPoint);
    if (sheet.DoModal(nullptr) == -1) {
      WriteLog(L"The setup wizard could not be shown, error %d", GetLastError());
    }
  }
  // The pages' windows are gone: the host's display takes over again.
  g_wizardSheetWindow = nullptr;
  g_progressWindows = hostWindows;
  ReleaseWaitingWorker(state);
  CoUninitialize();
  return ERROR_SUCCESS;
}
