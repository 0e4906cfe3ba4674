// worker_product_lock.cpp: the machine-wide lock a run holds while it
// reads, decides and changes products and their references: what it reads
// of them before the wizard, the removals of earlier versions and
// incompatible suites, the install, repair or removal with its commit or
// rollback, the clean-system removal and the undoing of killed runs. Runs
// of other suites wait for it; the setups a run starts and waits for
// borrow it.
#include "engine/worker.h"

#include <windows.h>

#include "engine/setup_globals.h"
#include "engine/setup_host.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "resources/resource_ids.h"

namespace {

// Long enough for another suite's whole install to finish, so that a
// deployment tool starting two suites at once gets both; bounded, so an
// unattended run always ends.
const DWORD kProductLockWaitMinutes = 10;

}  // namespace

void CWorker::LockProductChanges() {
  // A borrowed lock is asked for again: its lender may have let it go.
  if (m_productLock.IsHeld() && !m_productLock.IsBorrowed()) return;
  std::wstring holder;
  if (!m_productLock.Acquire(0, &holder)) WaitForProductChanges(holder);
  if (m_productLock.IsBorrowed()) {
    // The setup that started this one decided over the products already
    // and waits for this run: what killed runs left is undone by it.
    WriteLog(L"Installed products are being changed by setup process %lu, which started this setup and waits "
             L"for it; this run goes on under its lock",
             static_cast<unsigned long>(m_productLock.GetLender().GetId()));
    return;
  }
  if (m_productLock.WasAbandoned()) {
    WriteLog(L"The setup that changed installed products before was killed; undoing what it left first");
  }
  // Any run killed since the last holder let go left its journal; no
  // decision is made over what it did.
  if (!UndoAbandonedJournals()) {
    WriteLog(L"What killed runs left could not all be undone; this run changed nothing");
    EndWithProductsBusy();
  }
}

// The wait for another suite's run, which the user may cancel: the host
// dialog's Escape or close before the wizard, the wizard's Cancel after.
void CWorker::WaitForProductChanges(const std::wstring& holder) {
  WriteLog(L"Installed products are being changed by %s; waiting up to %lu minutes for it to finish",
           holder.c_str(), kProductLockWaitMinutes);
  if (g_progressWindows.statusLine) {
    SetWindowTextW(g_progressWindows.statusLine, LoadResourceString(IDS_WAITING_FOR_OTHER_SETUP).c_str());
    // The host dialog keeps its status line hidden until there is one.
    ShowWindow(g_progressWindows.statusLine, SW_SHOWNOACTIVATE);
  }
  bool wizard = m_interfaceThread.IsValid() && !m_interfaceThreadJoined;
  HANDLE cancel = m_state->GetEvent(CancelConfirmedEvent);
  if (m_host && !wizard) m_host->OfferCancel(cancel);
  std::wstring still;
  bool taken = m_productLock.Acquire(kProductLockWaitMinutes * 60 * 1000, &still, cancel);
  if (m_host && !wizard) m_host->OfferCancel(nullptr);
  if (m_productLock.WasCancelled()) {
    WriteLog(L"The user cancelled the wait for the other setup; this run changed nothing");
    // The wizard's Cancel ends the run as a cancelled install does; before
    // the wizard nothing had begun.
    AbortOnError(wizard ? ERROR_CANCELLED : ERROR_INSTALL_USEREXIT, false);
  }
  if (!taken) {
    WriteLog(L"Installed products were still being changed by %s after %lu minutes; this run changed nothing",
             still.c_str(), kProductLockWaitMinutes);
    EndWithProductsBusy();
  }
  WriteLog(L"The other setup has finished changing installed products; this run goes on");
}

void CWorker::EndWithProductsBusy() {
  UnlockProductChanges();
  if (!IsSilentLevel()) {
    ShowBox(LoadResourceString(IDS_ANOTHER_INSTANCE), IDS_WARNING_CAPTION,
            MB_ICONWARNING | MB_SETFOREGROUND | MB_TOPMOST);
  }
  throw static_cast<unsigned long>(ERROR_INSTALL_ALREADY_RUNNING);
}

void CWorker::UnlockProductChanges() { m_productLock.Release(); }
