// windows_installer_command.cpp: how an action's command line is started and
// waited for.
#include "actions/windows_installer_command.h"

#include <windows.h>
#include <shellapi.h>

#include "foundation/error.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kInstallerProgram[] = L"MSIEXEC";
const wchar_t kInstallerFileName[] = L"MSIEXEC.EXE";
const unsigned short kSystemFolderArea = 6;

WindowsInstallerRunner g_windowsInstallerRunner = nullptr;

std::wstring Quoted(const std::wstring& text) {
  if (StartsWith(text, L"\"")) return text;
  return L"\"" + text + L"\"";
}

}  // namespace

bool IsWindowsInstallerCommandLine(const std::wstring& commandLine) {
  return ToUpper(commandLine).find(kInstallerProgram) != std::wstring::npos;
}

void SetWindowsInstallerRunner(WindowsInstallerRunner runner) { g_windowsInstallerRunner = runner; }

DWORD RunWindowsInstallerCommand(const std::wstring& commandLine, HANDLE* handle) {
  *handle = nullptr;
  if (!IsWindowsInstallerCommandLine(commandLine)) {
    if (Trim(commandLine).empty()) {
      WriteLog(L"   Empty command line in action; skipping execution");
      return ERROR_SUCCESS;
    }
    if (!CreateShellProcess(commandLine, std::wstring(), handle)) {
      DWORD error = GetLastError();
      WriteLog(L"   CreateShellProcess failed with error code %d", error);
      return error;
    }
    return ERROR_SUCCESS;
  }
  if (!g_windowsInstallerRunner) {
    WriteLog(L"   No in-process Windows Installer runner to start: %s", commandLine.c_str());
    return ERROR_CALL_NOT_IMPLEMENTED;
  }
  // The original text runs: property values keep their case.
  return g_windowsInstallerRunner(commandLine, handle);
}

bool CreateShellProcess(const std::wstring& commandLine, const std::wstring& workingFolder,
                        HANDLE* handle) {
  *handle = nullptr;
  WriteLog(L"   Running external command: %s", commandLine.c_str());
  std::wstring parameters = commandLine;
  std::wstring program;
  if (!ExtractToken(&parameters, &program, L" ", true) || program.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  std::wstring folder = workingFolder;
  if (folder.empty()) {
    folder = FolderOfPath(program, false);
  }
  program = Quoted(program);
  if (!folder.empty()) folder = Quoted(folder);

  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = program.c_str();
  info.lpParameters = parameters.c_str();
  info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) return false;
  *handle = info.hProcess;
  return true;
}

DWORD WaitForCommandExit(HANDLE handle) {
  CScopedHandle command(handle);  // owned from here on
  if (!command.IsValid()) {
    WriteLog(L"   No process or thread to wait for; the command counts as failed");
    return ERROR_INSTALL_FAILURE;
  }
  if (WaitForSingleObject(command.Get(), INFINITE) == WAIT_FAILED) return GetLastError();
  DWORD exitCode = 0;
  if (GetExitCodeProcess(command.Get(), &exitCode)) return exitCode;
  DWORD error = GetLastError();
  // The in-process runner hands back a thread, not a process.
  if (error != ERROR_INVALID_HANDLE) return error;
  if (GetExitCodeThread(command.Get(), &exitCode)) return exitCode;
  return GetLastError();
}

std::wstring InstallerProgramPath() {
  wchar_t buffer[MAX_PATH + 1] = {};
  UINT length = GetSystemDirectoryW(buffer, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) {
    DWORD error = length == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER;
    ReportInternalError(kSystemFolderArea, 0x80070000 | error, nullptr);
  }
  std::wstring folder(buffer);
  if (folder.empty() || folder.back() != L'\\') folder += L'\\';
  return folder + kInstallerFileName;
}
