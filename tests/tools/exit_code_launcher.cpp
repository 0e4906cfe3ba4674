// exit_code_launcher.cpp: runs a command line and prints its full 32-bit exit
// code, which a Linux parent of wine would only see cut to 8 bits.
// Usage: exit_code_launcher.exe [--cwd FOLDER] [--timeout SECONDS]
//        [--args-file FILE] COMMAND LINE...
// --args-file appends the UTF-8 text of FILE to the command line as it is:
// quotes that Wine's own argument quoting would escape arrive unchanged.
// Prints "exit code: N" (decimal, unsigned) on its last line; its own exit
// code is 0 when the command ran, 2 when it could not be started.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

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

// The file's UTF-8 text without a final line break; empty when unreadable.
std::wstring ReadUtf8File(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::wstring();
  std::vector<char> bytes(GetFileSize(file, nullptr));
  DWORD read = 0;
  if (!bytes.empty()) ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  while (read > 0 && (bytes[read - 1] == '\n' || bytes[read - 1] == '\r')) --read;
  if (read == 0) return std::wstring();
  int length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(read), nullptr, 0);
  std::wstring text(length, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(read), &text[0], length);
  return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const wchar_t* rest = SkipArgument(GetCommandLineW());
  std::wstring folder;
  std::wstring argumentsFile;
  DWORD timeout = INFINITE;
  int index = 1;
  while (index + 1 < argc && argv[index][0] == L'-' && argv[index][1] == L'-') {
    std::wstring option = argv[index];
    if (option == L"--cwd") folder = argv[index + 1];
    else if (option == L"--timeout") timeout = wcstoul(argv[index + 1], nullptr, 10) * 1000;
    else if (option == L"--args-file") argumentsFile = argv[index + 1];
    else break;
    rest = SkipArgument(SkipArgument(rest));
    index += 2;
  }
  if (!*rest) {
    fwprintf(stderr, L"usage: exit_code_launcher [--cwd FOLDER] [--timeout S] COMMAND...\n");
    return 2;
  }
  std::wstring commandLine = rest;
  if (!argumentsFile.empty()) commandLine += L" " + ReadUtf8File(argumentsFile);
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
