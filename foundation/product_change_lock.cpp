// product_change_lock.cpp: the machine-wide lock around product changes.
#include "foundation/product_change_lock.h"

namespace {

const wchar_t kLockName[] = L"Global\\SETUP product changes";

}  // namespace

bool CProductChangeLock::Acquire(DWORD waitMilliseconds, std::wstring* holder, HANDLE cancelEvent) {
  return CRunLock::Acquire(kLockName, waitMilliseconds, holder, cancelEvent);
}
