#pragma once
// product_change_lock.h: CProductChangeLock, one lock for the whole machine
// around the part of a run that reads, decides and changes products and
// their references, so that suites sharing products never act on what
// another suite's run is in the middle of changing. Windows Installer
// itself lets one installation run at a time in the same way.
#include <windows.h>

#include <string>

#include "foundation/run_lock.h"

class CProductChangeLock : public CRunLock {
 public:
  // Waits at most `waitMilliseconds` for the run that holds it, or until
  // `cancelEvent` is signalled.
  bool Acquire(DWORD waitMilliseconds, std::wstring* holder, HANDLE cancelEvent = nullptr);
};
