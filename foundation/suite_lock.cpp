// suite_lock.cpp: the lock named by a suite's id.
#include "foundation/suite_lock.h"

#include "platform/wide_string.h"

namespace {

const wchar_t kLockPrefix[] = L"Global\\SETUP suite ";

}  // namespace

bool CSuiteLock::Acquire(const std::wstring& suiteId, std::wstring* holder) {
  // Object names hold no backslash after the namespace; the id's case must not make two locks.
  return CRunLock::Acquire(kLockPrefix + ToUpper(ReplaceAll(suiteId, L"\\", L"_")), 0, holder);
}
