// worker_install_path.cpp: the install folder each Windows Installer action
// of a multi-product run is given.
#include "engine/worker.h"

#include <windows.h>

#include <string>

#include "actions/install_action.h"
#include "actions/msi_product_state.h"
#include "foundation/error.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kInstallActionsList[] = L"INSTALL_ACTIONS";
const wchar_t kUninstallKeyFormat[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s";
const wchar_t kInstallLocationValue[] = L"InstallLocation";
const wchar_t kPackageFolder[] = L"MSI";

// Empty when the product is not installed or its record names no folder.
std::wstring InstalledLocation(const std::wstring& productCode) {
  if (productCode.empty() || !IsProductInstalled(productCode)) return std::wstring();
  try {
    CRegistryKey key;
    // The installer writes the record in the 32-bit view only.
    key.Open(HKEY_LOCAL_MACHINE, Format(kUninstallKeyFormat, productCode.c_str()),
             KEY_QUERY_VALUE | KEY_WOW64_32KEY, false);
    return key.GetValueSZ(kInstallLocationValue);
  } catch (const CError&) {
    return std::wstring();
  }
}

}  // namespace

// An installed product stays where it is; with a common folder for the
// suite, the others go into the suite's folder; an action that keeps the
// package's folder is left alone.
void CWorker::AddInstallPathToCommandLine() {
  CSetupActionList* list = CSetupActionList::Find(m_actionLists, kInstallActionsList);
  if (!list) return;
  std::wstring suiteFolder = m_settings.separateInstallDirs ? std::wstring() : m_state->GetInstallFolder();
  for (const auto& entry : *list) {
    CInstallAction* action = dynamic_cast<CInstallAction*>(entry.get());
    if (!action || EqualsNoCase(action->GetOverrideInstallDir(), kPackageFolder)) continue;
    std::wstring folder = InstalledLocation(action->GetProductCode());
    if (!folder.empty() && !IsUsableFolderPath(folder)) {
      // Another program's record: the package keeps the folders it has.
      WriteLog(L"   The installed folder '%s' of %s is refused: it is not a usable path", folder.c_str(),
               action->GetActionName().c_str());
      continue;
    }
    if (folder.empty()) folder = suiteFolder;
    if (folder.empty()) {
      WriteLog(L"No install path specified; aborting command line addition");
      continue;
    }
    action->AddInstallDirProperty(folder);
  }
}
