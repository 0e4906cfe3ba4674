// single_instance_mutex.cpp: the mutex that keeps two runs of the same setup
// from working at once.
#include "foundation/single_instance_mutex.h"

#include <windows.h>

#include <string>

#include "platform/wide_string.h"

namespace {
const wchar_t kMutexPrefix[] = L"Global\\SETUP ";
}

CScopedHandle CreateSingleInstanceMutex(const wchar_t* name) {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return CScopedHandle();
  }
  // Object names may hold no backslash after the namespace prefix.
  std::wstring mutexName = kMutexPrefix + ReplaceAll(name, L"\\", L"_");
  CScopedHandle mutex(CreateMutexW(nullptr, TRUE, mutexName.c_str()));
  DWORD error = GetLastError();
  if (mutex.IsValid() && error == ERROR_ALREADY_EXISTS) {
    mutex.Reset();
    SetLastError(ERROR_ALREADY_EXISTS);
  }
  return mutex;
}
