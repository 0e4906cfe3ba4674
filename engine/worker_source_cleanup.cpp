// worker_source_cleanup.cpp: the final clean-up's removal of this program's
// folder in the user's local application data and, when asked, of the kit
// setup ran from.
#include "engine/worker.h"

#include <windows.h>
#include <shlwapi.h>

#include <string>

#include "actions/command_options.h"
#include "engine/engine_command_line.h"
#include "engine/kit_files.h"
#include "engine/replacement_map.h"
#include "engine/source_redirection.h"
#include "foundation/file_utils.h"
#include "foundation/log_packaging.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "foundation/tree_deletion.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kUserAppDataMacro[] = L"{UsersAppDataLocal}";
const wchar_t kSetupDirMacro[] = L"{SetupDir}";
const wchar_t kUserAppDataFolder[] = L"Tamsa Setup";
const wchar_t kBinFolder[] = L"bin";

std::wstring WithBackslash(const std::wstring& path) {
  return !path.empty() && path.back() == L'\\' ? path : path + L"\\";
}

// A drive root keeps its backslash: "C:" alone names the drive's current folder.
std::wstring WithoutTrailingBackslashes(std::wstring path) {
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

// The folder's content and then the folder; false when anything stays.
bool DeleteWholeFolder(const std::wstring& folder) {
  bool emptied = DeleteFolderTree(folder) != FALSE;
  return RemoveDirectoryChecked(folder, FALSE) && emptied;
}

std::wstring FindMacro(const CReplacementMap& macros, const wchar_t* name, bool* found) {
  auto entry = macros.Map().find(name);
  *found = entry != macros.Map().end();
  return *found ? entry->second : std::wstring();
}

// The program, its configuration, source.ini, bin\ and, when the kit is
// their install source, the products' folders and packages.
CKitFiles KitFiles(const std::wstring& folder, const CEngineCommandLine& commandLine,
                   const CCommandOptions& options, const CProductList& products) {
  CKitFiles kit(folder);
  kit.Add(FileNameOfPath(commandLine.ProgramPath()));
  kit.Add(commandLine.ConfigurationName());
  kit.Add(CSourceRedirection::kSourceIniName);
  kit.Add(kBinFolder);
  if (EqualsNoCase(WithoutTrailingBackslashes(GetFullPath(options.GetInstallSource())), folder)) {
    for (const std::wstring& entry : products.SourceEntries()) kit.Add(entry);
  }
  return kit;
}

}  // namespace

void CWorker::DeleteUserAppDataFolder() {
  bool found = false;
  std::wstring appData = FindMacro(*m_replacements, kUserAppDataMacro, &found);
  if (!found || appData.empty()) {
    WriteLog(L"   WARNING: The ReplacementMap {UsersAppDataLocal} could not be found.");
    return;
  }
  std::wstring folder = WithBackslash(appData) + kUserAppDataFolder;
  if (!FolderExists(folder)) return;
  if (!DeleteWholeFolder(folder)) WriteLog(L"   WARNING: The folder '%s' could not be deleted.", folder.c_str());
}

// Only the kit's own files go, then its folder when nothing else is left
// in it: a kit is often unpacked among the user's files. Only a fixed
// drive's folder is touched, never a drive root or a folder of the system:
// "C:" alone would name the drive's current folder.
void CWorker::CleanupSourceFiles() {
  WriteLog(L"Cleaning up source files");
  bool found = false;
  std::wstring folder = FindMacro(*m_replacements, kSetupDirMacro, &found);
  if (!found) {
    WriteLog(L"   WARNING: The ReplacementMap {SetupDir} could not be found");
    return;
  }
  std::wstring full = WithoutTrailingBackslashes(GetFullPath(folder));
  if (full.empty() || IsProtectedFolder(folder) || IsProtectedFolder(full)) {
    WriteLog(L"   The folder '%s' is a drive root or a system folder and is not deleted", folder.c_str());
    return;
  }
  if (!FolderExists(full)) {
    WriteLog(L"   The folder '%s' does not exist", full.c_str());
    return;
  }
  wchar_t root[MAX_PATH * 2] = {};
  lstrcpynW(root, WithBackslash(full).c_str(), MAX_PATH * 2);
  PathStripToRootW(root);
  UINT type = GetDriveTypeW(WithBackslash(root).c_str());
  if (type != DRIVE_FIXED) {
    WriteLog(L"   The folder '%s' is not a fixed source. type found: %d", full.c_str(), type);
    return;
  }
  bool removed = KitFiles(full, *m_commandLine, *m_options, m_productList).Remove();
  if (RemoveDirectoryChecked(full, FALSE)) return;
  if (!removed) {
    WriteLog(L"   The folder '%s' could not be deleted", full.c_str());
  } else {
    WriteLog(L"   The folder '%s' keeps files that are not the kit's", full.c_str());
  }
}
