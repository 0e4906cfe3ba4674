// worker_special_modes.cpp: what a run does with its logs at its end.
#include "engine/worker.h"

#include <windows.h>

#include <string>

#include "foundation/folder.h"
#include "foundation/log_packaging.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "foundation/shell_shortcut.h"
#include "resources/resource_ids.h"

namespace {
const wchar_t kAllUsersDesktopMacro[] = L"{AllUsersDesktop}";
}  // namespace

void CWorker::CreateLogFolderShortcut() {
  std::wstring desktop = ExpandMacros(kAllUsersDesktopMacro);
  WriteLog(L"Creating shortcut for logging folder");
  std::wstring description = LoadResourceString(IDS_INSTALLATION_LOG_FILES);
  std::wstring link = desktop + L"\\" + description;
  std::wstring folder;
  if (!GetSetupLogFolder(&folder)) return;
  CFolder(folder).Create();
  WriteLog(L"   Working Folder:    %s", folder.c_str());
  WriteLog(L"   Launch Point Link: %s", link.c_str());
  WriteLog(L"   Launch Point Desc: %s", description.c_str());
  HRESULT result = CreateShellShortcut(link, folder, description.c_str());
  if (SUCCEEDED(result)) return;
  WriteLog(L"   Failed to create shortcut with error: %d", result);
  // Some shells (Wine's among them) have no folder shortcut object; a plain
  // link to the folder leads the user there all the same.
  result = CreateShellShortcutEx(link + L".lnk", folder, std::wstring(), description, std::wstring(), 0, folder);
  if (FAILED(result)) WriteLog(L"   Failed to create shortcut with error: %d", result);
}

void CWorker::PackLogFiles() {
  std::wstring folder;
  if (!GetSetupLogFolder(&folder)) return;
  WriteLog(L"Packing the log files of %s", folder.c_str());
  std::wstring archive;
  if (ZipLogFiles(folder, &archive)) {
    WriteLog(L"   Log files packed into %s", archive.c_str());
  } else {
    // The logs are a courtesy: the run's result does not depend on them.
    WriteLog(L"   Failed packing the log files of %s", folder.c_str());
  }
}
