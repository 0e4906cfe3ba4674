// worker_install_path.cpp: the install folder each Windows Installer action
// of a multi-product run is given.
#include "engine/worker.h"

#include <windows.h>

#include <string>

#include "actions/install_action.h"
#include "actions/product_facts.h"
#include "engine/install_group_info.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kInstallActionsList[] = L"INSTALL_ACTIONS";
const wchar_t kPackageFolder[] = L"MSI";

}  // namespace

// An installed product stays in the folders it has, whichever suite's run
// brings it up to date; with a common folder for the suite, the others go
// into the suite's folder; an action that keeps the package's folder is
// left alone.
void CWorker::AddInstallPathToCommandLine() {
  CSetupActionList* list = CSetupActionList::Find(m_actionLists, kInstallActionsList);
  if (!list) return;
  std::wstring suiteFolder = m_settings.separateInstallDirs ? std::wstring() : m_state->GetInstallFolder();
  const CInstallGroupInfo* suite = m_installGroups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
  for (const auto& entry : *list) {
    CInstallAction* action = dynamic_cast<CInstallAction*>(entry.get());
    if (!action || EqualsNoCase(action->GetOverrideInstallDir(), kPackageFolder)) continue;
    CProductFacts facts = CProductFacts::Gather(action->GetProductCode(), m_state->m_products.Lookup(action->GetKeyName()),
                                                suite ? suite->GetUuid() : std::wstring());
    if (facts.IsInstalled()) {
      if (facts.Folders().empty()) {
        WriteLog(L"   %s is installed and records no folder: the installer keeps it where it is",
                 action->GetActionName().c_str());
      } else {
        WriteLog(L"   %s is installed: it keeps its folders, %s", action->GetActionName().c_str(),
                 facts.Folders().c_str());
        action->UseInstallFolders(facts.Folders());
      }
      continue;
    }
    if (suiteFolder.empty()) {
      WriteLog(L"No install path specified; aborting command line addition");
      continue;
    }
    action->AddInstallDirProperty(suiteFolder);
  }
}
