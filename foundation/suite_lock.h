#pragma once
// suite_lock.h: CSuiteLock keeps two runs that would change one suite from
// working at once, whichever copy of the suite's setup they run: the kit,
// a copy of it in another folder, or the suite's cached copy.
#include <windows.h>

#include <string>

#include "foundation/scoped_handle.h"

class CSuiteLock {
 public:
  CSuiteLock() = default;
  CSuiteLock(const CSuiteLock&) = delete;
  CSuiteLock& operator=(const CSuiteLock&) = delete;
  ~CSuiteLock() { Release(); }

  // Takes the lock named by the suite's id and leaves this process's
  // identity where another run can read it. False when another process
  // holds it; `holder` then describes that run, as far as it can be read.
  // A lock whose holder was killed is taken over.
  bool Acquire(const std::wstring& suiteId, std::wstring* holder);
  // Lets the lock go; a run that hands over to another setup does so
  // before that setup starts. Must run on the thread that took it.
  void Release();
  bool IsHeld() const { return m_mutex.IsValid(); }

 private:
  void PublishHolder(const std::wstring& name);
  static std::wstring ReadHolder(const std::wstring& name);

  CScopedHandle m_mutex;
  // The holder's identity, readable by name for as long as this process holds the lock.
  CScopedHandle m_identity;
};
