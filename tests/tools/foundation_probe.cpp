// foundation_probe.cpp: a small program of the tests that drives the
// foundation the way setup.exe's start-up does, so end-to-end tests can run
// it from a prepared folder, command line and environment.
// Usage: foundation_probe.exe MODE [ARGS...]
//   log COUNT TEXT   InitializeLogging(command line), then COUNT log lines
//   config FILE      also loads FILE beside the program with CSetupConfig
//                    and reads the minimum Windows Installer version
//   link LNK OUT     reads the shell link LNK through IShellLinkW and writes
//                    its target, arguments and working folder to OUT (UTF-8)
//   resume NAME PROGRAM ARGS STAGE
//                    registers PROGRAM ARGS to run once after a restart
#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <cwchar>
#include <string>

#include "foundation/reboot_support.h"
#include "foundation/setup_config.h"
#include "foundation/setup_log.h"
#include "platform/com_ptr.h"
#include "platform/wide_string.h"

namespace {

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH * 2] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  std::wstring text = path;
  return text.substr(0, text.find_last_of(L'\\') + 1);
}

int RunLog(int argc, wchar_t** argv) {
  int count = argc > 2 ? _wtoi(argv[2]) : 1;
  const wchar_t* text = argc > 3 ? argv[3] : L"probe";
  for (int i = 1; i <= count; ++i) WriteLog(L"%s line %d", text, i);
  return 0;
}

int RunConfig(int argc, wchar_t** argv) {
  CSetupConfig config;
  config.Load(ProgramFolder(), argc > 2 ? argv[2] : L"setup.dcf");
  WriteLog(L"Minimum Windows Installer version: %s", config.GetMinimumMSIVersion().c_str());
  return 0;
}

int RunLink(int argc, wchar_t** argv) {
  if (argc < 4) return ERROR_INVALID_PARAMETER;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  CComPtr<IShellLinkW> link;
  HRESULT result = link.CreateInstance(CLSID_ShellLink);
  CComPtr<IPersistFile> file;
  if (SUCCEEDED(result)) result = link.QueryInterface(&file);
  if (SUCCEEDED(result)) result = file->Load(argv[2], STGM_READ);
  wchar_t path[MAX_PATH * 2] = {}, arguments[MAX_PATH * 2] = {}, folder[MAX_PATH * 2] = {};
  if (SUCCEEDED(result)) result = link->GetPath(path, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
  if (SUCCEEDED(result)) result = link->GetArguments(arguments, MAX_PATH * 2);
  if (SUCCEEDED(result)) result = link->GetWorkingDirectory(folder, MAX_PATH * 2);
  if (FAILED(result)) return static_cast<int>(result);
  std::string text = WideToUtf8(Format(L"target=%s\nargs=%s\nfolder=%s\n", path, arguments, folder));
  HANDLE out = CreateFileW(argv[3], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
  DWORD written = 0;
  WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(out);
  return 0;
}

int RunResume(int argc, wchar_t** argv) {
  if (argc < 6) return ERROR_INVALID_PARAMETER;
  return CRebootSupport().RegisterRebootResume(argv[2], argv[3], argv[4], _wtoi(argv[5])) ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  InitializeLogging(GetCommandLineW());
  std::wstring mode = argc > 1 ? argv[1] : L"";
  try {
    if (mode == L"log") return RunLog(argc, argv);
    if (mode == L"config") return RunConfig(argc, argv);
    if (mode == L"link") return RunLink(argc, argv);
    if (mode == L"resume") return RunResume(argc, argv);
  } catch (unsigned long code) {
    WriteLog(L"Ended with code %d", code);
    return static_cast<int>(code);
  }
  return ERROR_INVALID_PARAMETER;
}
