// external_command.cpp: parses and runs the commands that detect, ask about
// and remove other products: Uninstall-entry checks, programs and DLL entries.
#include "actions/external_command.h"

#include <windows.h>
#include <shlwapi.h>

#include <vector>

#include "actions/dll_entry_call.h"
#include "actions/msi_folder_properties.h"
#include "actions/uninstall_entry.h"
#include "actions/windows_installer_command.h"
#include "engine/setup_aggregate.h"
#include "engine/version_range.h"
#include "foundation/list_match.h"
#include "foundation/registry_search.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

#ifndef ERROR_UNHANDLED_EXCEPTION
#define ERROR_UNHANDLED_EXCEPTION 574L  // missing from mingw's <winerror.h>
#endif

namespace {

const wchar_t kKeywordNone[] = L"NONE";
const wchar_t kKeywordDefault[] = L"DEFAULT";
const wchar_t kKeywordUninstallKey[] = L"UNINSTALLKEY";
const wchar_t kKeywordNestedKey[] = L"NESTEDKEY";
const wchar_t kKeywordProgram[] = L"PROGRAM";
const wchar_t kKeywordDll[] = L"DLL";
const wchar_t kInstallerProgram[] = L"MSIEXEC";
const wchar_t kRebootProperty[] = L"REBOOT=";
const wchar_t kUninstallSwitch[] = L"/X";

// Split at "," outside double quotes; the quotes go, each field is trimmed.
std::vector<std::wstring> SplitFields(const std::wstring& text) {
  std::vector<std::wstring> fields(1);
  bool quoted = false;
  for (wchar_t c : text) {
    if (c == L'"') {
      quoted = !quoted;
    } else if (c == L',' && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  for (std::wstring& field : fields) field = Trim(field);
  return fields;
}

std::wstring CurrentFolder() {
  DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return std::wstring();
  std::vector<wchar_t> buffer(size);
  DWORD length = GetCurrentDirectoryW(size, buffer.data());
  return std::wstring(buffer.data(), length < size ? length : 0);
}

}  // namespace

CExternalCommand::CExternalCommand(const std::wstring& description) { Parse(description); }

CExternalCommand::~CExternalCommand() = default;

bool CExternalCommand::Parse(const std::wstring& description) {
  m_description = description;
  m_valid = false;
  m_kind = kNone;
  m_key.clear();
  m_program.clear();
  m_arguments.clear();
  m_entryPoint.clear();
  m_validVersions.clear();
  m_validLanguages.clear();
  std::vector<std::wstring> fields = SplitFields(description);
  const std::wstring& keyword = fields[0];
  auto field = [&fields](size_t index) { return index < fields.size() ? fields[index] : std::wstring(); };
  if (keyword == kKeywordNone) {
    m_kind = kNone;
  } else if (keyword == kKeywordDefault) {
    m_kind = kDefault;
  } else if (keyword == kKeywordUninstallKey || keyword == kKeywordNestedKey) {
    m_kind = keyword == kKeywordUninstallKey ? kUninstallKey : kNestedKey;
    m_key = field(1);
    m_validVersions = field(2);
    m_validLanguages = field(3);
  } else if (keyword == kKeywordProgram || keyword == kKeywordDll) {
    // Both fields must be given; a program's arguments may be empty.
    bool isDll = keyword == kKeywordDll;
    if (fields.size() < 3 || fields[1].empty() || (isDll && fields[2].empty())) return false;
    m_kind = isDll ? kDll : kProgram;
    m_program = fields[1];
    (isDll ? m_entryPoint : m_arguments) = fields[2];
  } else {
    return false;
  }
  m_valid = true;
  return true;
}

DWORD CExternalCommand::Run() {
  // A broken description must never pass for "found" or "done".
  if (!m_valid) {
    WriteLog(L"   The command '%s' could not be parsed; it is not run", m_description.c_str());
    return ERROR_INVALID_DATA;
  }
  switch (m_kind) {
    case kNone:
      return ERROR_SUCCESS;
    case kDefault:
      return ERROR_INVALID_FUNCTION;
    case kProgram:
      return RunProgram();
    case kDll:
      return RunDll();
    case kUninstallKey:
    case kNestedKey:
      return RunKey();
  }
  return ERROR_INVALID_DATA;
}

std::wstring CExternalCommand::FromSourceFolder(const std::wstring& path) const {
  // Only a relative path: "C:\x" and "\\server\share\x" stay as they are.
  if (m_sourceFolder.empty() || !PathIsRelativeW(path.c_str())) return path;
  std::wstring folder = m_sourceFolder;
  if (!EndsWith(folder, L"\\")) folder += L'\\';
  return folder + path;
}

DWORD CExternalCommand::SuppressReboot(DWORD result) {
  if (!m_suppressReboot || !IsRebootExitCode(result)) return result;
  m_rebootRequested = true;
  return ERROR_SUCCESS;
}

DWORD CExternalCommand::RunProgram() {
  std::wstring program = FromSourceFolder(m_program);
  std::wstring arguments = m_arguments;
  bool isInstaller = ToUpper(program).find(kInstallerProgram) != std::wstring::npos;
  if (m_suppressReboot && isInstaller && !ContainsNoCase(arguments, kRebootProperty)) {
    arguments += L" REBOOT=Suppress";
  }
  if (m_silent && isInstaller) arguments += L" /qn";
  HANDLE process = nullptr;
  DWORD result;
  if (CreateShellProcess(Format(L"\"%s\" %s", program.c_str(), arguments.c_str()), std::wstring(),
                         &process)) {
    result = WaitForCommandExit(process);
  } else {
    result = GetLastError();
  }
  result = SuppressReboot(result);
  WriteLog(L"Run command: '%s' returned: %d", arguments.c_str(), result);
  return result;
}

DWORD CExternalCommand::RunDll() {
  std::wstring path = FromSourceFolder(m_program);
  std::wstring savedFolder;
  size_t slash = path.find_last_of(L'\\');
  if (slash != std::wstring::npos) {
    savedFolder = CurrentFolder();
    // "C:\x.dll": the folder is the drive's root, not the drive's current folder.
    std::wstring folder = path.substr(0, slash == 2 && path[1] == L':' ? slash + 1 : slash);
    if (!SetCurrentDirectoryW(folder.c_str())) savedFolder.clear();
  }
  DWORD result;
  HMODULE module = LoadLibraryW(path.c_str());
  if (!module) {
    result = GetLastError();
    WriteLog(L"Could not load module '%s'; error code = %08X", path.c_str(), result);
  } else {
    result = CallEntry(module, path);
    if (!FreeLibrary(module)) {
      DWORD error = GetLastError();
      WriteLog(L"Unable to free module '%s'; error code = %08X", path.c_str(), error);
    }
  }
  if (!savedFolder.empty()) SetCurrentDirectoryW(savedFolder.c_str());
  return result;
}

DWORD CExternalCommand::CallEntry(HMODULE module, const std::wstring& path) {
  FARPROC entry = FindDllEntry(module, m_entryPoint);
  if (!entry) {
    DWORD error = GetLastError();
    WriteLog(L"Could not load entry point '%s' from module '%s'; error code = %08X",
             m_entryPoint.c_str(), path.c_str(), error);
    return error;
  }
  DWORD result = 0;
  DWORD exceptionCode = 0;
  if (!CallDllEntry(entry, g_setupAggregate, &result, &exceptionCode)) {
    WriteLog(L"Unknown exception thrown by DLL function in CExternalCommand::Run");
    WriteLog(L"   Exception 0x%08X in '%s' of '%s'; the call counts as failed", exceptionCode,
             m_entryPoint.c_str(), path.c_str());
    return ERROR_UNHANDLED_EXCEPTION;
  }
  return result;
}

bool CExternalCommand::IsProductFound(std::wstring* command) {
  std::wstring name;
  std::wstring suiteCommand;
  bool read = ReadUninstallEntry(m_key, &name, command, &suiteCommand, m_force);
  if (!suiteCommand.empty()) {
    *command = suiteCommand;
  } else {
    if (!read) return false;
    std::wstring displayName;
    bool named = GetProductInfo(m_key, kUninstallDisplayNameValue, &displayName);
    // A nested entry is the one without a name of its own in the list.
    if (named != (m_kind == kUninstallKey)) return false;
  }
  if (!m_validVersions.empty()) {
    CVersionInfo installed;
    if (!ReadUninstallProductVersion(m_key, &installed)) return false;
    if (!IsVersionInRange(installed, m_validVersions.c_str())) return false;
  }
  if (!m_validLanguages.empty()) {
    // Without a key to search there is no language; searching all of
    // SOFTWARE for one would take long and prove nothing.
    std::wstring language;
    if (!m_tlaSearchKey.empty()) FindRegistryValue(m_tlaSearchKey, std::wstring(), &language);
    if (!MatchSemicolonList(language, m_validLanguages)) return false;
  }
  return true;
}

DWORD CExternalCommand::RunKey() {
  std::wstring command;
  if (!IsProductFound(&command)) return ERROR_NOT_FOUND;
  if (!m_uninstallMode) return ERROR_SUCCESS;
  std::wstring upper = ToUpper(command);
  bool isInstaller = upper.find(kInstallerProgram) != std::wstring::npos;
  if (m_suppressReboot && isInstaller && upper.find(kRebootProperty) == std::wstring::npos) {
    command += L" REBOOT=ReallySuppress";
  }
  if (m_silent && isInstaller) {
    command += L" /qn";
    if (upper.find(kUninstallSwitch) != std::wstring::npos) command += L" REMOVE=ALL";
  }
  // The installer takes the files from the folders it is given, not from
  // where the install put them: a removal gives the install's folders.
  if (isInstaller && upper.find(kUninstallSwitch) != std::wstring::npos) {
    command = WithProperties(command, InstalledFolderProperties(m_key, std::wstring()));
  }
  HANDLE handle = nullptr;
  DWORD result = RunWindowsInstallerCommand(command, &handle);
  // An empty command starts nothing: no handle, no wait, and no success.
  if (result == ERROR_SUCCESS) result = WaitForCommandExit(handle);
  result = SuppressReboot(result);
  WriteLog(L"   Run uninstall command: '%s' returned: %d", command.c_str(), result);
  return result;
}
