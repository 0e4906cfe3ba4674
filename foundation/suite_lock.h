#pragma once
// suite_lock.h: CSuiteLock keeps two runs that would change one suite from
// working at once, whichever copy of the suite's setup they run: the kit,
// a copy of it in another folder, or the suite's cached copy.
#include <string>

#include "foundation/run_lock.h"

class CSuiteLock : public CRunLock {
 public:
  // Takes the lock named by the suite's id without waiting: a second run of
  // the suite ends at once. A lock whose holder was killed is taken over.
  bool Acquire(const std::wstring& suiteId, std::wstring* holder);
};
