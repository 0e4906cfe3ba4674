// mutex_holder.cpp: holds a named mutex the way a running setup does, until
// a given file appears or a time-out passes; with BLOCK, also writes that
// text where a setup names the holder of its lock ("NAME holder"), as any
// program may.
// Usage: mutex_holder.exe NAME STOP_FILE SECONDS [BLOCK]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) return 2;
  HANDLE mutex = CreateMutexW(nullptr, TRUE, argv[1]);
  if (!mutex) return 3;
  HANDLE block = nullptr;
  if (argc > 4) {
    std::wstring blockName = std::wstring(argv[1]) + L" holder";
    block = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, blockName.c_str());
    void* view = block ? MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, 4096) : nullptr;
    if (!view) return 4;
    // "\n" in the text stands for a line break.
    std::wstring text;
    for (const wchar_t* c = argv[4]; *c; ++c) {
      if (c[0] == L'\\' && c[1] == L'n') {
        text += L'\n';
        ++c;
      } else {
        text += *c;
      }
    }
    memcpy(view, text.c_str(), std::min<size_t>(text.size(), 2000) * sizeof(wchar_t));
    UnmapViewOfFile(view);
  }
  wprintf(L"held\n");
  fflush(stdout);
  DWORD deadline = GetTickCount() + wcstoul(argv[3], nullptr, 10) * 1000;
  while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES && GetTickCount() < deadline) {
    Sleep(100);
  }
  ReleaseMutex(mutex);
  CloseHandle(mutex);
  if (block) CloseHandle(block);
  return 0;
}
