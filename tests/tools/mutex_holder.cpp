// mutex_holder.cpp: holds a named mutex the way a running setup does, until
// a given file appears or a time-out passes.
// Usage: mutex_holder.exe NAME STOP_FILE SECONDS
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  HANDLE mutex = CreateMutexW(nullptr, TRUE, argv[1]);
  if (!mutex) return 3;
  wprintf(L"held\n");
  fflush(stdout);
  DWORD deadline = GetTickCount() + wcstoul(argv[3], nullptr, 10) * 1000;
  while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES && GetTickCount() < deadline) {
    Sleep(100);
  }
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  return 0;
}
