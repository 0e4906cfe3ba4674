#pragma once
// thread.h: starts a thread with the C runtime's thread start, so the
// runtime's per-thread state is set up and released properly.
#include <windows.h>

using ThreadProc = unsigned(__stdcall*)(void* parameter);

// The new thread's handle (the caller owns it), or null with the system's
// error code in *error.
HANDLE StartThread(ThreadProc proc, void* parameter, DWORD* error);
