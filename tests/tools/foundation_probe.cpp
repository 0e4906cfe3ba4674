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
//   download URL TARGET [LIMIT]
//                    DownloadFile, within LIMIT milliseconds when given;
//                    logs the progress bar's last position
//   split URL        SplitUrl; logs host, path and port
//   xml FILE XPATH   CXmlDocument: logs the single node's text and the list
#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <cwchar>
#include <string>
#include <vector>

#include "foundation/internet.h"
#include "foundation/reboot_support.h"
#include "foundation/setup_config.h"
#include "foundation/setup_log.h"
#include "foundation/xml_document.h"
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

int RunDownload(int argc, wchar_t** argv) {
  if (argc < 4) return ERROR_INVALID_PARAMETER;
  CDownloadProgress progress;
  progress.fileName = argv[3];
  if (argc > 4) SetDownloadTimeLimit(static_cast<DWORD>(_wtoi(argv[4])));
  DownloadFile(argv[2], argv[3], &progress);
  WriteLog(L"Downloaded; progress %d of %u bytes", progress.percent, progress.totalSize);
  return 0;
}

int RunSplit(int argc, wchar_t** argv) {
  if (argc < 3) return ERROR_INVALID_PARAMETER;
  std::wstring host, path;
  INTERNET_PORT port = 0;
  if (!SplitUrl(argv[2], &host, &path, &port)) return 1;
  WriteLog(L"host=%s path=%s port=%u", host.c_str(), path.c_str(), static_cast<unsigned>(port));
  return 0;
}

int RunXml(int argc, wchar_t** argv) {
  if (argc < 4) return ERROR_INVALID_PARAMETER;
  try {
    CXmlDocument document;
    document.LoadFile(argv[2]);
    std::wstring single;
    document.SelectSingleNodeText(argv[3], &single);
    std::vector<std::wstring> list;
    document.SelectNodes(argv[3], &list);
    std::wstring joined;
    for (const std::wstring& text : list) joined += L"[" + text + L"]";
    WriteLog(L"single=%s list=%s", single.c_str(), joined.c_str());
  } catch (long error) {
    WriteLog(L"xml error %08X", static_cast<unsigned>(error));
    return 1;
  }
  return 0;
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
    if (mode == L"download") return RunDownload(argc, argv);
    if (mode == L"split") return RunSplit(argc, argv);
    if (mode == L"xml") return RunXml(argc, argv);
  } catch (unsigned long code) {
    WriteLog(L"Ended with code %d", code);
    return static_cast<int>(code);
  }
  return ERROR_INVALID_PARAMETER;
}
