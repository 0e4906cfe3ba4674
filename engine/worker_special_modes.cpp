// worker_special_modes.cpp: the worker's steps for the modes that do one job
// and end (the launch point, the update folder), the refusal to run from the
// cached copy, and what a run does with its logs at its end.
#include "engine/worker.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "actions/command_options.h"
#include "engine/cached_copy.h"
#include "engine/launch_point.h"
#include "engine/message_box.h"
#include "engine/replacement_map.h"
#include "engine/setup_host.h"
#include "engine/update_folder.h"
#include "foundation/dcf_names.h"
#include "foundation/folder.h"
#include "foundation/kw_ini_file.h"
#include "foundation/log_packaging.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "foundation/shell_shortcut.h"
#include "resources/resource_ids.h"

namespace {
const wchar_t kSetupDirMacro[] = L"{SetupDir}";
const wchar_t kAllUsersAppDataMacro[] = L"{AllUsersAppData}";
const wchar_t kAllUsersDesktopMacro[] = L"{AllUsersDesktop}";
const wchar_t kOverwriteCaption[] = L"warning";

// A macro's value, empty when the map lacks it.
std::wstring MacroValue(const CReplacementMap& macros, const wchar_t* name) {
  auto found = macros.Map().find(name);
  return found == macros.Map().end() ? std::wstring() : found->second;
}
}  // namespace

DWORD CWorker::CreateLaunchPoint() {
  CLaunchPoint launchPoint(*m_configuration, [this](const std::wstring& text) { return ExpandMacros(text); });
  return launchPoint.Create(GetCommandLineW(), MacroValue(*m_replacements, kSetupDirMacro));
}

void CWorker::CleanupLaunchPoint() {
  if (!m_configuration) return;
  CLaunchPoint launchPoint(*m_configuration, [this](const std::wstring& text) { return ExpandMacros(text); });
  launchPoint.Cleanup(MacroValue(*m_replacements, kSetupDirMacro), m_commandLine->ProgramPath());
}

bool CWorker::CheckRunningFromCache() {
  std::wstring suiteId;
  m_configuration->GetValue(kProductGroupDefaultSection, kUuidKey, &suiteId, std::wstring());
  if (suiteId.empty()) m_configuration->GetValue(kProductGroupDefaultSection, kSuiteIdKey, &suiteId, std::wstring());
  if (!IsRunningFromCachedCopy(m_commandLine->SetupFolder(), MacroValue(*m_replacements, kAllUsersAppDataMacro),
                               suiteId, Mode())) {
    return false;
  }
  WriteLog(L"Setup is running from the cached location and will now close");
  return true;
}

DWORD CWorker::PrepareUpdateFolder() {
  HWND owner = m_host ? m_host->GetOwnerWindow() : nullptr;
  bool silent = IsSilentLevel();
  CUpdateFolder::AskFunction ask = [owner, silent](const std::wstring& text) {
    // Nobody answers in a quiet run: what exists is kept.
    if (silent) return false;
    return ShowMessageBox(owner, text.c_str(), kOverwriteCaption,
                          MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND | MB_TOPMOST) == IDYES;
  };
  CUpdateFolder update(m_options->GetInstallSource(), m_commandLine->SetupFolder(), ask);
  return update.Prepare(m_settings.updateFolder, m_productList.Keys());
}

void CWorker::CreateLogFolderShortcut() {
  std::wstring desktop = MacroValue(*m_replacements, kAllUsersDesktopMacro);
  // A run that fails before its macros exist still finds the desktop.
  if (desktop.empty()) desktop = CReplacementMap::ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
  WriteLog(L"Creating shortcut for logging folder");
  if (desktop.empty()) {
    WriteLog(L"   The desktop folder is not known");
    return;
  }
  std::wstring description = LoadResourceString(IDS_INSTALLATION_LOG_FILES);
  std::wstring link = desktop + L"\\" + description;
  std::wstring folder;
  if (!GetSetupLogFolder(&folder)) return;
  CFolder(folder).Create();
  WriteLog(L"   Working Folder:    %s", folder.c_str());
  WriteLog(L"   Launch Point Link: %s", link.c_str());
  WriteLog(L"   Launch Point Desc: %s", description.c_str());
  HRESULT result = CreateShellShortcut(link, folder, description.c_str());
  if (SUCCEEDED(result)) {
    WriteLog(L"   Created the folder shortcut %s", link.c_str());
    return;
  }
  WriteLog(L"   Failed to create shortcut with error: %d", result);
  // Some shells (Wine's among them) have no folder shortcut object; a plain
  // link to the folder leads the user there all the same.
  link += L".lnk";
  result = CreateShellShortcutEx(link, folder, std::wstring(), description, std::wstring(), 0, folder);
  if (FAILED(result)) {
    WriteLog(L"   Failed to create shortcut with error: %d", result);
  } else {
    WriteLog(L"   Created the shortcut %s instead", link.c_str());
  }
}

void CWorker::PackLogFiles() {
  std::wstring folder;
  if (!GetSetupLogFolder(&folder)) return;
  WriteLog(L"Packing the log files of %s", folder.c_str());
  std::wstring archive;
  if (ZipLogFiles(folder, &archive, GetOpenedLogFolder())) {
    WriteLog(L"   Log files packed into %s; this line and those after it are not in it", archive.c_str());
  } else {
    // The logs are a courtesy: the run's result does not depend on them.
    WriteLog(L"   Failed packing the log files of %s", folder.c_str());
  }
}
