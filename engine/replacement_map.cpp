// replacement_map.cpp: the replacement map of the system's folders and the
// setup's own values, {Name} macro expansion over it and the property map,
// and the dump of both maps at the end of the run.
#include "engine/replacement_map.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "actions/command_options.h"
#include "actions/windows_installer_command.h"
#include "engine/setup_state.h"
#include "foundation/error.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "foundation/wow64.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kCurrentVersionKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const wchar_t kProgramFilesValue[] = L"ProgramFilesDir";
const wchar_t kCommonFilesValue[] = L"CommonFilesDir";
const wchar_t kProgramFilesMacro[] = L"{ProgramFilesFolder}";
const wchar_t kProgramFiles64Macro[] = L"{ProgramFilesFolder64}";
const wchar_t kCommonFilesMacro[] = L"{CommonFilesFolder}";
const wchar_t kSuiteReboot[] = L" REBOOT=ReallySuppress";

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

void LogMap(const MacroMap& map) {
  for (const auto& entry : map) WriteLog(L"   %s = %s", entry.first.c_str(), entry.second.c_str());
}

void LogError(const std::wstring& message) { WriteLog(L"%s", message.c_str()); }

}  // namespace

void CReplacementMap::Create(const CCommandOptions& options, const std::wstring& programPath,
                             bool suiteMode) {
  m_map.clear();
  AddProgramFilesFolders();
  AddShellFolder(L"{AllUsersAppData}", CSIDL_COMMON_APPDATA);
  AddShellFolder(L"{UsersAppDataLocal}", CSIDL_LOCAL_APPDATA);
  AddShellFolder(L"{AllUsersProgramsMenu}", CSIDL_COMMON_PROGRAMS);
  AddShellFolder(L"{AllUsersDesktop}", CSIDL_COMMON_DESKTOPDIRECTORY);
  m_map[L"{msiexec}"] = InstallerProgramPath();
  m_map[L"{setupparams}"] = BuildSetupParams(options, suiteMode);
  std::wstring setupDir = FolderOfPath(programPath);
  while (!setupDir.empty() && setupDir.back() == L'\\') setupDir.pop_back();
  m_map[L"{SetupDir}"] = setupDir;
  m_map[L"{SkippedProducts}"] = L"";
  m_map[L"{InstallerDir}"] = Format(L"\"%s\"", FolderOfPath(programPath).c_str());
  m_map[L"{NL}"] = L"\n";
}

// The 32-bit view is this program's own; the 64-bit folder falls back to it,
// also on a 32-bit system, so texts that name it still get a real folder.
void CReplacementMap::AddProgramFilesFolders() {
  std::wstring programFiles = ReadCurrentVersionValue(kProgramFilesValue, KEY_WOW64_32KEY);
  if (!programFiles.empty()) m_map[kProgramFilesMacro] = programFiles;
  std::wstring commonFiles = ReadCurrentVersionValue(kCommonFilesValue, KEY_WOW64_32KEY);
  if (!commonFiles.empty()) m_map[kCommonFilesMacro] = commonFiles;
  std::wstring programFiles64;
  if (IsWow64()) programFiles64 = ReadCurrentVersionValue(kProgramFilesValue, KEY_WOW64_64KEY);
  if (programFiles64.empty()) programFiles64 = programFiles;
  if (!programFiles64.empty()) m_map[kProgramFiles64Macro] = programFiles64;
}

std::wstring CReplacementMap::ShellFolder(int folderId) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, folderId, nullptr, SHGFP_TYPE_CURRENT, path))) return std::wstring();
  return path;
}

// A folder the shell cannot give is left out.
void CReplacementMap::AddShellFolder(const wchar_t* key, int folderId) {
  std::wstring path = ShellFolder(folderId);
  if (!path.empty()) m_map[key] = path;
}

// The interface level, the MIF file, the properties and the other switches
// of the command line, and never a restart of a package's own.
std::wstring CReplacementMap::BuildSetupParams(const CCommandOptions& options, bool suiteMode) {
  std::wstring params;
  if (suiteMode) {
    int mode = options.GetMode();
    if (options.GetUILevel() == CCommandOptions::kUILevelNone ||
        (mode != CCommandOptions::kModeRepair && mode != CCommandOptions::kModeUninstall)) {
      params += L" /qn";
    }
  } else {
    options.AppendUILevel(&params);
  }
  options.AppendMifFile(&params);
  options.AppendProperties(&params);
  options.AppendPassThroughSwitches(&params);
  params += kSuiteReboot;
  return params;
}

std::wstring CReplacementMap::Expand(const std::wstring& text) const {
  if (text.find(L'{') == std::wstring::npos) return text;
  PropertyMap properties = m_state.CopyProperties();
  CMacroExpander expander(m_map, properties, LogError);
  return expander.Expand(text);
}

bool CReplacementMap::Resolve(std::wstring* text, std::wstring* value) const {
  PropertyMap properties = m_state.CopyProperties();
  CMacroExpander expander(m_map, properties, LogError);
  return expander.ResolveMacro(text, value);
}

void CReplacementMap::Log() const {
  WriteLog(L"Listing all PropertyMap (DynamicProperties) keys and values:");
  LogMap(m_state.CopyProperties());
  WriteLog(L"Listing all ReplacementMap keys and values:");
  LogMap(m_map);
}
