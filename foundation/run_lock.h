#pragma once
// run_lock.h: CRunLock, a machine-wide lock that setup runs take by name,
// with the identity of the run holding it readable by any other run, so a
// run that finds it taken can say by whom.
#include <windows.h>

#include <string>

#include "foundation/scoped_handle.h"

class CRunLock {
 public:
  CRunLock() = default;
  CRunLock(const CRunLock&) = delete;
  CRunLock& operator=(const CRunLock&) = delete;
  ~CRunLock() { Release(); }

  // Takes the lock of that name, waiting at most `waitMilliseconds` for its
  // holder, and leaves this process's identity where another run can read
  // it. False when another process holds it; `holder` then describes that
  // run, as far as it can be read. A lock whose holder was killed is taken
  // over, and WasAbandoned() says so until the next Acquire.
  bool Acquire(const std::wstring& name, DWORD waitMilliseconds, std::wstring* holder);
  // Lets the lock go; a run that hands over to another setup does so
  // before that setup starts. Must run on the thread that took it.
  void Release();
  bool IsHeld() const { return m_mutex.IsValid(); }
  bool WasAbandoned() const { return m_abandoned; }

 private:
  void PublishHolder(const std::wstring& name);
  static std::wstring ReadHolder(const std::wstring& name);

  CScopedHandle m_mutex;
  // The holder's identity, readable by name for as long as this process holds the lock.
  CScopedHandle m_identity;
  bool m_abandoned = false;
};
