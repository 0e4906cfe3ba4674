#pragma once
// run_lock.h: CRunLock, a machine-wide lock that setup runs take by name,
// with the identity of the run holding it readable by any other run, so a
// run that finds it taken can say by whom. A run lends the locks it holds
// to the setups it starts and waits for: such a setup never waits on the
// run that waits for it.
#include <windows.h>

#include <string>

#include "foundation/process_identity.h"
#include "foundation/scoped_handle.h"

class CRunLock {
 public:
  CRunLock() = default;
  CRunLock(const CRunLock&) = delete;
  CRunLock& operator=(const CRunLock&) = delete;
  ~CRunLock() { Release(); }

  // Takes the lock of that name, waiting at most `waitMilliseconds` for its
  // holder, and leaves this process's identity where another run can read
  // it. A lock that a run which started this process holds and lends to it
  // is borrowed at once, without waiting. False when another process holds
  // it; `holder` then describes that run, as far as it can be told. A
  // signalled `cancelEvent` ends the wait at once (WasCancelled). A lock
  // whose holder was killed is taken over, and WasAbandoned() says so until
  // the next Acquire.
  bool Acquire(const std::wstring& name, DWORD waitMilliseconds, std::wstring* holder,
               HANDLE cancelEvent = nullptr);
  // Lets the lock go; a run that hands over to another setup does so
  // before that setup starts. Must run on the thread that took it.
  void Release();
  bool IsHeld() const { return m_mutex.IsValid() || m_borrowed; }
  bool IsBorrowed() const { return m_borrowed; }
  // The run this process borrowed the lock from.
  const CProcessIdentity& GetLender() const { return m_lender; }
  bool WasAbandoned() const { return m_abandoned; }
  bool WasCancelled() const { return m_cancelled; }

 private:
  bool IsLentToThisProcess(const std::wstring& name);
  void PublishHolder(const std::wstring& name);

  CScopedHandle m_mutex;
  // The holder's identity, readable by name for as long as this process holds the lock.
  CScopedHandle m_identity;
  bool m_abandoned = false;
  bool m_cancelled = false;
  bool m_borrowed = false;
  CProcessIdentity m_lender;
};

// While one lives, the programs this process starts borrow none of its
// locks: it is made around a program the run does not wait for, which
// would otherwise go on under a lock its lender has let go.
class CLocksNotLent {
 public:
  explicit CLocksNotLent(bool active);
  ~CLocksNotLent();
  CLocksNotLent(const CLocksNotLent&) = delete;
  CLocksNotLent& operator=(const CLocksNotLent&) = delete;

 private:
  bool m_active;
  std::wstring m_saved;
};

// How another run names the process that holds a lock: its id, start time
// and program, read from the process itself; only a living process whose
// start time is the one the lock's block gives is named.
std::wstring DescribeLockHolder(const std::wstring& lockName);
