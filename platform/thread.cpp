// thread.cpp: _beginthreadex behind a Win32-style result.
#include "platform/thread.h"

#include <process.h>

#include <cerrno>

HANDLE StartThread(ThreadProc proc, void* parameter, DWORD* error) {
  unsigned id = 0;
  uintptr_t handle = _beginthreadex(nullptr, 0, proc, parameter, 0, &id);
  if (handle == 0) {
    DWORD lastError = GetLastError();
    if (error) *error = lastError != ERROR_SUCCESS ? lastError : ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  if (error) *error = ERROR_SUCCESS;
  return reinterpret_cast<HANDLE>(handle);
}
