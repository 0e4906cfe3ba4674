// worker_macros.cpp: the replacement map of the system's folders and the
// setup's own values, {Name} macro expansion over it and the property map,
// and the dump of both maps at the end of the run.
#include <shlobj.h>
#include <windows.h>

#include <string>

#include "actions/command_options.h"
#include "engine/worker.h"
#include "foundation/error.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"
#include "foundation/wow64.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kCurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const wchar_t kProgramFilesValue[] = L"ProgramFilesDir";
const wchar_t kCommonFilesValue[] = L"CommonFilesDir";
const wchar_t kProgramFilesMacro[] = L"{ProgramFilesFolder}";
const wchar_t kProgramFiles64Macro[] = L"{ProgramFilesFolder64}";
const wchar_t kCommonFilesMacro[] = L"{CommonFilesFolder}";
const wchar_t kInstallerProgram[] = L"MSIEXEC.EXE";
const wchar_t kSuiteReboot[] = L" REBOOT=ReallySuppress";
const unsigned short kSystemFolderArea = 6;

// Empty when the key or the value cannot be read.
std::wstring ReadCurrentVersionValue(const wchar_t* name, REGSAM view) {
  try {
    CRegistryKey key;
    key.Open(HKEY_LOCAL_MACHINE, kCurrentVersionKey, KEY_READ | view, false);
    return key.GetValueSZ(name);
  } catch (const CError&) {
    return std::wstring();
  }
}

std::wstring SystemFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  UINT length = GetSystemDirectoryW(buffer, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) {
    DWORD error = length == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER;
    ReportInternalError(kSystemFolderArea, 0x80070000 | error, nullptr);
  }
  std::wstring folder(buffer);
  if (folder.empty() || folder.back() != L'\\') folder += L'\\';
  return folder;
}

void LogMap(const MacroMap& map) {
  for (const auto& entry : map) WriteLog(L"   %s = %s", entry.first.c_str(), entry.second.c_str());
}

}  // namespace

// The replacement map is written only here and before the wizard starts, so
// the wizard's thread reads it without a lock.
bool CWorker::CreateReplacementMap() {
  m_replacementMap.clear();
  if (!m_configuration) return false;
  AddProgramFilesFolders();
  AddShellFolder(L"{AllUsersAppData}", CSIDL_COMMON_APPDATA);
  AddShellFolder(L"{UsersAppDataLocal}", CSIDL_LOCAL_APPDATA);
  AddShellFolder(L"{AllUsersProgramsMenu}", CSIDL_COMMON_PROGRAMS);
  AddShellFolder(L"{AllUsersDesktop}", CSIDL_COMMON_DESKTOPDIRECTORY);
  m_replacementMap[L"{msiexec}"] = SystemFolder() + kInstallerProgram;
  m_replacementMap[L"{setupparams}"] = BuildSetupParams();
  std::wstring setupDir = m_options->GetSetupFolder();
  while (!setupDir.empty() && setupDir.back() == L'\\') setupDir.pop_back();
  m_replacementMap[L"{SetupDir}"] = setupDir;
  m_replacementMap[L"{SkippedProducts}"] = L"";
  size_t slash = m_programPath.find_last_of(L'\\');
  std::wstring programFolder =
      slash == std::wstring::npos ? std::wstring() : m_programPath.substr(0, slash + 1);
  m_replacementMap[L"{InstallerDir}"] = Format(L"\"%s\"", programFolder.c_str());
  m_replacementMap[L"{NL}"] = L"\n";
  return true;
}

// The 32-bit view is this program's own; the 64-bit folder falls back to it,
// also on a 32-bit system, so texts that name it still get a real folder.
void CWorker::AddProgramFilesFolders() {
  std::wstring programFiles = ReadCurrentVersionValue(kProgramFilesValue, KEY_WOW64_32KEY);
  if (!programFiles.empty()) m_replacementMap[kProgramFilesMacro] = programFiles;
  std::wstring commonFiles = ReadCurrentVersionValue(kCommonFilesValue, KEY_WOW64_32KEY);
  if (!commonFiles.empty()) m_replacementMap[kCommonFilesMacro] = commonFiles;
  std::wstring programFiles64;
  if (IsWow64()) programFiles64 = ReadCurrentVersionValue(kProgramFilesValue, KEY_WOW64_64KEY);
  if (programFiles64.empty()) programFiles64 = programFiles;
  if (!programFiles64.empty()) m_replacementMap[kProgramFiles64Macro] = programFiles64;
}

// A folder the shell cannot give is left out.
void CWorker::AddShellFolder(const wchar_t* key, int folderId) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, folderId, nullptr, SHGFP_TYPE_CURRENT, path))) return;
  m_replacementMap[key] = path;
}

// What every package command of the run gets: the interface level, the MIF
// file, the properties and the other switches of the command line, and never
// a restart of its own.
std::wstring CWorker::BuildSetupParams() const {
  std::wstring params;
  if (m_suiteMode) {
    int mode = Mode();
    if (UiLevel() == CCommandOptions::kUILevelNone ||
        (mode != CCommandOptions::kModeRepair && mode != CCommandOptions::kModeUninstall)) {
      params += L" /qn";
    }
  } else {
    m_options->AppendUILevel(&params);
  }
  m_options->AppendMifFile(&params);
  m_options->AppendProperties(&params);
  m_options->AppendPassThroughSwitches(&params);
  params += kSuiteReboot;
  return params;
}

std::wstring CWorker::ExpandMacros(const wchar_t* text) const {
  return text ? ExpandMacros(std::wstring(text)) : std::wstring();
}

std::wstring CWorker::ExpandMacros(const std::wstring& text) const {
  if (text.find(L'{') == std::wstring::npos) return text;
  PropertyMap properties = m_state ? m_state->CopyProperties() : PropertyMap();
  CMacroExpander expander(m_replacementMap, properties,
                          [](const std::wstring& message) { WriteLog(L"%s", message.c_str()); });
  return expander.Expand(text);
}

bool CWorker::ResolveMacro(std::wstring* text, std::wstring* value) const {
  PropertyMap properties = m_state ? m_state->CopyProperties() : PropertyMap();
  CMacroExpander expander(m_replacementMap, properties,
                          [](const std::wstring& message) { WriteLog(L"%s", message.c_str()); });
  return expander.ResolveMacro(text, value);
}

void CWorker::LogPropertyMaps() const {
  WriteLog(L"Listing all PropertyMap (DynamicProperties) keys and values:");
  if (m_state) LogMap(m_state->CopyProperties());
  WriteLog(L"Listing all ReplacementMap keys and values:");
  LogMap(m_replacementMap);
}
