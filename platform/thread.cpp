// thread.cpp: _beginthreadex behind a Win32-style result, with every thread
// procedure run inside a no-throw boundary.
#include "platform/thread.h"

#include <windows.h>
#include <process.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <new>

#include "platform/callback_boundary.h"

namespace {

struct CThreadStart {
  ThreadProc proc;
  void* parameter;
};

// An exception must not leave the thread: it would end the whole process
// without a word in the log. It becomes the thread's exit code instead.
unsigned __stdcall ThreadBoundary(void* raw) {
  std::unique_ptr<CThreadStart> start(static_cast<CThreadStart*>(raw));
  try {
    return start->proc(start->parameter);
  } catch (...) {
    return ReportBoundaryException(L"a thread procedure");
  }
}

}  // namespace

HANDLE StartThread(ThreadProc proc, void* parameter, DWORD* error) {
  std::unique_ptr<CThreadStart> start(new (std::nothrow) CThreadStart{proc, parameter});
  if (!start) {
    if (error) *error = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  unsigned id = 0;
  _doserrno = 0;
  uintptr_t handle = _beginthreadex(nullptr, 0, ThreadBoundary, start.get(), 0, &id);
  if (handle == 0) {
    // The runtime frees its own memory after the failed CreateThread, so the
    // system's code is the one it kept in _doserrno, not the last error.
    DWORD code = static_cast<DWORD>(_doserrno);
    if (error) *error = code != ERROR_SUCCESS ? code : ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  start.release();  // the new thread owns it now
  if (error) *error = ERROR_SUCCESS;
  return reinterpret_cast<HANDLE>(handle);
}
