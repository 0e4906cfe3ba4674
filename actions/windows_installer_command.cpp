// windows_installer_command.cpp: how an action's command line is started and
// waited for.
#include "actions/windows_installer_command.h"

#include <windows.h>

#include <vector>

#include "foundation/error.h"
#include "foundation/file_utils.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kInstallerProgram[] = L"MSIEXEC";
const wchar_t kInstallerFileName[] = L"MSIEXEC.EXE";
const unsigned short kSystemFolderArea = 6;
const wchar_t kProgramExtension[] = L".exe";

WindowsInstallerRunner g_windowsInstallerRunner = nullptr;

bool EndsWithNoCase(const std::wstring& text, const std::wstring& suffix) {
  return text.size() >= suffix.size() && EqualsNoCase(text.substr(text.size() - suffix.size()), suffix);
}

// The file a program's text names, where the system looks for programs
// (the text as it is when it is a full path), `extension` added to a name
// without one.
bool FindProgramFile(const std::wstring& text, const wchar_t* extension, std::wstring* path) {
  wchar_t found[MAX_PATH + 1] = {};
  DWORD length = SearchPathW(nullptr, text.c_str(), extension, MAX_PATH + 1, found, nullptr);
  if (text.empty() || length == 0 || length > MAX_PATH) return false;
  *path = found;
  return FileExists(*path);
}

// A leading part of an unquoted command line as a program: a full path only
// in its own full form, so that "C:\x.exe \..\x.exe" is not taken for
// C:\x.exe; no extension is added.
bool FindLeadingProgram(const std::wstring& part, std::wstring* path) {
  if (!IsAbsolutePath(part)) return FindProgramFile(part, nullptr, path);
  wchar_t full[MAX_PATH + 1] = {};
  DWORD length = GetFullPathNameW(part.c_str(), MAX_PATH + 1, full, nullptr);
  if (length == 0 || length > MAX_PATH || !EqualsNoCase(full, ReplaceAll(part, L"/", L"\\"))) return false;
  *path = part;
  return FileExists(part);
}

// The program a command line starts, and its parameters. A quoted program is
// the text in its quotes. An unquoted one may hold blanks ("C:\Some Dir\u.exe
// /S"): it is the longest leading part that names an existing file, one
// ending in ".exe" first, so that a "C:\Some.exe" put beside that folder is
// never started in its place. Only a bare name ("cmd /c ...") is looked for
// as the system would, with ".exe" added.
bool FindCommandProgram(const std::wstring& commandLine, std::wstring* program, std::wstring* parameters) {
  std::wstring text = Trim(commandLine);
  std::wstring first;
  std::wstring rest = text;
  if (!ExtractToken(&rest, &first, L" ", true) || first.empty()) return false;
  if (text[0] == L'"') {
    // One not found is started as named, so the system says why it is not there.
    if (!FindProgramFile(first, kProgramExtension, program)) *program = first;
    *parameters = TrimLeft(rest);
    return true;
  }
  std::wstring found;
  size_t foundEnd = 0;
  for (size_t end = text.size(); end > 0 && !EndsWithNoCase(found, kProgramExtension); --end) {
    bool endsPart = (end == text.size() || text[end] == L' ') && text[end - 1] != L' ';
    std::wstring path;
    if (!endsPart || !FindLeadingProgram(text.substr(0, end), &path)) continue;
    if (found.empty() || EndsWithNoCase(path, kProgramExtension)) {
      found = path;
      foundEnd = end;
    }
  }
  if (found.empty() && first.find_first_of(L"\\/:") == std::wstring::npos &&
      FindProgramFile(first, kProgramExtension, &found)) {
    foundEnd = first.size();
  }
  if (found.empty()) return false;
  WriteLog(L"   Program of the unquoted command: %s", found.c_str());
  *program = found;
  *parameters = TrimLeft(text.substr(foundEnd));
  return true;
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
  std::wstring program;
  std::wstring parameters;
  if (!FindCommandProgram(commandLine, &program, &parameters)) {
    WriteLog(L"   No program to start was found in the command");
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  std::wstring folder = workingFolder;
  if (folder.empty()) {
    folder = FolderOfPath(program, true);
    // A missing one would hide why the program is missing.
    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) folder.clear();
  }
  // The program is named, not searched for: the system never tries a
  // shorter part of the line, nor a program of the same name elsewhere.
  std::wstring line = L"\"" + program + L"\"" + (parameters.empty() ? L"" : L" " + parameters);
  std::vector<wchar_t> writable(line.begin(), line.end());
  writable.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    return false;
  }
  CScopedHandle thread(process.hThread);
  *handle = process.hProcess;
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
