// command_recorder.cpp: a stand-in setup program that writes the command line
// it was started with, as UTF-16LE, to "<its own path>.cmdline" and ends with
// 0, so tests can see what another program handed to it.
#include <windows.h>

#include <string>
#include <vector>

int wmain() {
  std::vector<wchar_t> path(32768);
  DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return 1;
  std::wstring target(path.data(), length);
  target += L".cmdline";
  std::wstring temporary = target + L".part";
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  const wchar_t* commandLine = GetCommandLineW();
  DWORD bytes = static_cast<DWORD>(lstrlenW(commandLine) * sizeof(wchar_t));
  DWORD written = 0;
  BOOL ok = WriteFile(file, commandLine, bytes, &written, nullptr) && written == bytes;
  CloseHandle(file);
  // Renamed when complete: a reader never sees half a line.
  if (!ok || !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return 3;
  return 0;
}
