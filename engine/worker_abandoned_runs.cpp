// worker_abandoned_runs.cpp: what runs that were killed left half done,
// undone by the next run before it reads any product's references: each
// such run's resume entry and working copy, its journalled reference
// changes and the products it started to install that no suite uses, then
// the working copies nobody uses any more.
#include "engine/worker.h"

#include <windows.h>

#include "actions/msi_product_state.h"
#include "actions/ref_counter.h"
#include "actions/run_journal.h"
#include "actions/windows_installer_command.h"
#include "engine/install_group_info.h"
#include "engine/source_redirection.h"
#include "engine/suite_registration.h"
#include "foundation/error.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"

namespace {

// One run at a time clears the working copies and temporaries that ended
// runs left: two would remove them twice. Anyone may create the object: a
// run waits this long, then leaves them for a later run.
const wchar_t kRecoveryMutex[] = L"Global\\SETUP abandoned runs";
const DWORD kRecoveryWaitMilliseconds = 5000;

// A killed run's references are undone and its products' users read with
// counting on, whatever this run's own setting.
class CCountingOn {
 public:
  CCountingOn() : m_was(CRefCounter::IsReferenceCountingEnabled()) {
    CRefCounter::SetReferenceCountingEnabled(true);
  }
  ~CCountingOn() { CRefCounter::SetReferenceCountingEnabled(m_was); }
  CCountingOn(const CCountingOn&) = delete;
  CCountingOn& operator=(const CCountingOn&) = delete;

 private:
  bool m_was;
};

}  // namespace

void CWorker::UndoAbandonedRuns() {
  SourceRedirection().ClaimOwnWorkingCopy();
  // Journals are undone under the product lock, which takes them on
  // whenever it is taken: a run that cannot take it, or cannot undo them,
  // ends having changed nothing.
  if (!m_runJournal->FindAbandoned().empty()) {
    LockProductChanges();
    UnlockProductChanges();
  }
  CScopedHandle lock(CreateMutexW(nullptr, FALSE, kRecoveryMutex));
  DWORD wait = lock.IsValid() ? WaitForSingleObject(lock.Get(), kRecoveryWaitMilliseconds) : WAIT_FAILED;
  // An abandoned lock is that of a clean-up that was killed: this one takes over.
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
    WriteLog(L"The working copies killed runs left are not removed now (wait result %d): they stay for a later run",
             wait);
    return;
  }
  CSourceRedirection::RemoveAbandonedWorkingCopies(&m_rebootSupport);
  MakeSuiteRegistration().RemoveStrayTemporaries();
  ReleaseMutex(lock.Get());
}

// Only under the product lock. False when a record stays whole, its
// references not undone: deciding over them now would have a later run
// undo them over what this run makes its own.
bool CWorker::UndoAbandonedJournals() {
  bool allUndone = true;
  for (const CRunJournal::CRecord& record : m_runJournal->FindAbandoned()) {
    if (!m_triedJournals.insert(record.name).second) continue;
    try {
      UndoAbandonedRun(record);
    } catch (const CError& error) {
      WriteLog(L"   Undoing what setup process %lu left failed: %s", record.owner.GetId(),
               error.GetMessage().c_str());
      // Tried again by later runs, a bounded number of times.
      if (m_runJournal->KeepWhole(record)) allUndone = false;
    }
  }
  return allUndone;
}

// As the run itself would have on its failure: references first, newest
// first, while the products' entries still exist, then the products. Only
// what could not be undone stays in the record.
void CWorker::UndoAbandonedRun(const CRunJournal::CRecord& record) {
  WriteLog(L"Undoing what setup process %lu left unfinished for suite %s", record.owner.GetId(),
           record.suiteId.c_str());
  RemoveAbandonedResume(record);
  std::vector<CRunJournal::CProduct> left;
  {
    CCountingOn counting;
    CRefCounter counter;
    counter.RestoreJournal(record.references);
    counter.RollbackOperations();
    left = RemoveAbandonedProducts(record, &counter);
    counter.CleanStaleEntries();
  }
  if (record.registering) RemoveUnusedSuiteRecord(record.suiteId);
  bool kept = m_runJournal->KeepUndone(record, left);
  for (const CRunJournal::CProduct& product : left) {
    if (kept) {
      WriteLog(L"   %s could not be removed (try %lu); the next run tries again", product.productCode.c_str(),
               record.tries + 1);
    } else {
      WriteLog(L"   %s could not be removed in %lu tries; it stays installed for its own uninstall",
               product.productCode.c_str(), record.tries + 1);
    }
  }
}

// The restart the killed run waited for would start it again: its entry
// goes while it holds what that run wrote, and with it the run's copy.
void CWorker::RemoveAbandonedResume(const CRunJournal::CRecord& record) {
  if (!record.resumeEntry.empty()) {
    WriteLog(L"   The resume entry '%s' of that run goes", record.resumeEntry.c_str());
    m_rebootSupport.RemoveResumeEntry(record.resumeEntry, record.resumeCommand);
  }
  if (!record.workingCopy.empty()) {
    CSourceRedirection::RemoveAbandonedWorkingCopy(record.workingCopy, &m_rebootSupport);
  }
}

// The products whose removal failed, in the record's order. A product some
// suite lists stays for it, as at every removal.
std::vector<CRunJournal::CProduct> CWorker::RemoveAbandonedProducts(const CRunJournal::CRecord& record,
                                                                    CRefCounter* counter) {
  std::vector<CRunJournal::CProduct> left;
  for (auto it = record.products.rbegin(); it != record.products.rend(); ++it) {
    const std::wstring& code = it->productCode;
    if (!code.empty() && !IsProductInstalled(code)) {
      WriteLog(L"   %s is not installed; nothing to undo", code.c_str());
      continue;
    }
    bool listed = false;
    if (!code.empty() && CRefCounter::KeptForOtherSuites(counter, code, std::wstring(), &listed)) continue;
    WriteLog(L"   Removing %s: \"%s\"", code.c_str(), it->rollbackCommand.c_str());
    HANDLE handle = nullptr;
    DWORD result = RunWindowsInstallerCommand(it->rollbackCommand, &handle);
    if (result == ERROR_SUCCESS) result = WaitForCommandExit(handle);
    WriteLog(L"   Removing %s ended with exit code %d", code.c_str(), result);
    if (result != ERROR_SUCCESS && !IsRebootExitCode(result)) left.insert(left.begin(), *it);
  }
  return left;
}

// A record the killed run had begun to write stays only for products that
// still list the suite, as after the run's own rollback.
void CWorker::RemoveUnusedSuiteRecord(const std::wstring& suiteId) {
  if (suiteId.empty() || CInstallGroupInfo::HasInstalledMember(suiteId)) return;
  WriteLog(L"   No product lists suite %s; its record goes", suiteId.c_str());
  MakeSuiteRegistration().RemoveSuiteRecord(suiteId);
}

// A suite that is removed must not come back with the next restart: the
// resume entry of a run of it that has ended goes too, whether it was
// killed or waits for its restart. One a running setup wrote stays.
void CWorker::RemoveEndedResumeEntry() {
  std::wstring command = m_rebootSupport.ResumeEntryCommand(m_resumeValueName);
  if (command.empty() || m_runJournal->RunningRunWrote(m_resumeValueName, command)) return;
  WriteLog(L"Removing the resume entry '%s' of a setup of this suite that has ended", m_resumeValueName.c_str());
  m_rebootSupport.RemoveResumeEntry(m_resumeValueName, command);
}
