// exit_code_launcher.cpp: runs a command line and prints its full 32-bit exit
// code, which a Linux parent of wine would only see cut to 8 bits.
// Usage: exit_code_launcher.exe [--cwd FOLDER] [--timeout SECONDS] COMMAND LINE...
// Prints "exit code: N" (decimal, unsigned) on its last line; its own exit
// code is 0 when the command ran, 2 when it could not be started.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// The rest of our own command line after the launcher's options, unchanged.
const wchar_t* SkipArgument(const wchar_t* p) {
  while (*p == L' ' || *p == L'\t') ++p;
  bool quoted = false;
  while (*p && (quoted || (*p != L' ' && *p != L'\t'))) {
    if (*p == L'"') quoted = !quoted;
    ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const wchar_t* rest = SkipArgument(GetCommandLineW());
  std::wstring folder;
  DWORD timeout = INFINITE;
  int index = 1;
  while (index + 1 < argc && argv[index][0] == L'-' && argv[index][1] == L'-') {
    std::wstring option = argv[index];
    if (option == L"--cwd") folder = argv[index + 1];
    else if (option == L"--timeout") timeout = wcstoul(argv[index + 1], nullptr, 10) * 1000;
    else break;
    rest = SkipArgument(SkipArgument(rest));
    index += 2;
  }
  if (!*rest) {
    fwprintf(stderr, L"usage: exit_code_launcher [--cwd FOLDER] [--timeout S] COMMAND...\n");
    return 2;
  }
  std::wstring commandLine = rest;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    fwprintf(stderr, L"CreateProcess failed: %lu\n", GetLastError());
    return 2;
  }
  CloseHandle(info.hThread);
  if (WaitForSingleObject(info.hProcess, timeout) != WAIT_OBJECT_0) {
    TerminateProcess(info.hProcess, 1460);
    WaitForSingleObject(info.hProcess, 5000);
    fwprintf(stderr, L"timed out\n");
  }
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  wprintf(L"exit code: %lu\n", code);
  fflush(stdout);
  return 0;
}
