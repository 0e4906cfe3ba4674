// worker_product_lock.cpp: the machine-wide lock a run holds while it
// reads, decides and changes products and their references: what it reads
// of them before the wizard, the removals of earlier versions and
// incompatible suites, the install, repair or removal with its commit or
// rollback, the clean-system removal and the undoing of killed runs. Runs
// of other suites wait for it.
#include "engine/worker.h"

#include <windows.h>

#include "engine/setup_globals.h"
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
  if (m_productLock.IsHeld()) return;
  std::wstring holder;
  if (!m_productLock.Acquire(0, &holder)) {
    WriteLog(L"Installed products are being changed by %s; waiting up to %lu minutes for it to finish",
             holder.c_str(), kProductLockWaitMinutes);
    if (g_progressWindows.statusLine) {
      SetWindowTextW(g_progressWindows.statusLine, LoadResourceString(IDS_WAITING_FOR_OTHER_SETUP).c_str());
      // The host dialog keeps its status line hidden until there is one.
      ShowWindow(g_progressWindows.statusLine, SW_SHOWNOACTIVATE);
    }
    if (!m_productLock.Acquire(kProductLockWaitMinutes * 60 * 1000, &holder)) {
      WriteLog(L"Installed products were still being changed by %s after %lu minutes; this run changed nothing",
               holder.c_str(), kProductLockWaitMinutes);
      if (!IsSilentLevel()) {
        ShowBox(LoadResourceString(IDS_ANOTHER_INSTANCE), IDS_WARNING_CAPTION,
                MB_ICONWARNING | MB_SETFOREGROUND | MB_TOPMOST);
      }
      throw static_cast<unsigned long>(ERROR_INSTALL_ALREADY_RUNNING);
    }
    WriteLog(L"The other setup has finished changing installed products; this run goes on");
  }
  if (m_productLock.WasAbandoned()) {
    // Its journal says what it did; deciding over it would count a product it
    // installed and never counted as another's, or keep one it would remove.
    WriteLog(L"The setup that changed installed products before was killed; undoing what it left first");
    UndoAbandonedJournals();
  }
}

void CWorker::UnlockProductChanges() { m_productLock.Release(); }
