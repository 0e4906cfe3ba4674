// worker_source_cleanup.cpp: the final clean-up's removal of this program's
// folder in the user's local application data and, when asked, of the
// folder setup ran from.
#include "engine/worker.h"

#include <windows.h>
#include <shlwapi.h>

#include <string>

#include "engine/replacement_map.h"
#include "foundation/file_utils.h"
#include "foundation/log_packaging.h"
#include "foundation/setup_log.h"

namespace {

const wchar_t kUserAppDataMacro[] = L"{UsersAppDataLocal}";
const wchar_t kSetupDirMacro[] = L"{SetupDir}";
const wchar_t kUserAppDataFolder[] = L"Tamsa Setup";

bool FolderExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring WithBackslash(const std::wstring& path) {
  return !path.empty() && path.back() == L'\\' ? path : path + L"\\";
}

std::wstring FullPath(const std::wstring& path) {
  wchar_t buffer[MAX_PATH * 2] = {};
  DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 2, buffer, nullptr);
  return length && length < MAX_PATH * 2 ? std::wstring(buffer) : std::wstring();
}

// The folder's content and then the folder; false when anything stays.
bool DeleteWholeFolder(const std::wstring& folder) {
  bool emptied = DeleteFolderTree(WithBackslash(folder)) != FALSE;
  return RemoveDirectoryW(folder.c_str()) && emptied;
}

std::wstring FindMacro(const CReplacementMap& macros, const wchar_t* name, bool* found) {
  auto entry = macros.Map().find(name);
  *found = entry != macros.Map().end();
  return *found ? entry->second : std::wstring();
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

// Only a fixed drive's folder is deleted, and never a drive root or a
// folder of the system: "C:" alone would name the drive's current folder.
void CWorker::CleanupSourceFiles() {
  WriteLog(L"Cleaning up source files");
  bool found = false;
  std::wstring folder = FindMacro(*m_replacements, kSetupDirMacro, &found);
  if (!found) {
    WriteLog(L"   WARNING: The ReplacementMap {SetupDir} could not be found");
    return;
  }
  std::wstring full = FullPath(folder);
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
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
  if (!DeleteWholeFolder(full)) WriteLog(L"   The folder '%s' could not be deleted", full.c_str());
}
