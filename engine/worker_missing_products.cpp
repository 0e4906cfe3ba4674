// worker_missing_products.cpp: the suite's products that are no longer on
// the machine: those a repair finds missing, which it installs again from
// the kit or names as not repaired, and those a failed run removed as
// earlier versions and did not bring back.
#include "engine/worker.h"

#include <windows.h>

#include "actions/command_options.h"
#include "actions/msi_product_state.h"
#include "actions/remove_action.h"
#include "engine/install_group_info.h"
#include "engine/product_data.h"
#include "foundation/file_utils.h"
#include "foundation/setup_log.h"

// A member the suite counted when it was registered and that is not
// installed now: the user removed it, or an upgrade that failed removed it
// as an earlier version. A repair from a kit that holds its package installs
// it again; without the package it cannot.
void CWorker::FindMissingMembers() {
  m_missingMembers.clear();
  const CInstallGroupInfo* group = m_installGroups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
  bool repair = Mode() == CCommandOptions::kModeRepair;
  if (!group || (!repair && Mode() != CCommandOptions::kModeUninstall)) return;
  for (const auto& entry : m_state->m_products) {
    CProductData* product = entry.second.get();
    const std::wstring& code = product->GetProductCode();
    if (!group->HasMember(entry.first) || !product->IsInstalledForSuite() || code.empty() ||
        IsProductInstalled(code)) {
      continue;
    }
    std::wstring standing = CInstallGroupInfo::InstalledProductFor(group->GetUuid(), code);
    if (!standing.empty()) {
      WriteLog(L"   %s (%s) of the suite was replaced by %s, which the suite counts", entry.first.c_str(),
               code.c_str(), standing.c_str());
      continue;
    }
    CMissingMember member{entry.first, code, product->GetProductName(), false};
    if (repair) {
      FindPackageAndTransform(entry.first, product);
      member.restored = product->IsWindowsInstallerPackage() && FileExists(product->GetPackagePath());
      WriteLog(member.restored ? L"   %s (%s) of the suite is not installed; the repair installs it again from '%s'"
                               : L"   %s (%s) of the suite is not installed, and its package '%s' is not there",
               entry.first.c_str(), code.c_str(), product->GetPackagePath().c_str());
    }
    m_missingMembers.push_back(member);
  }
}

std::vector<std::wstring> CWorker::RestoredMembers() const {
  std::vector<std::wstring> keys;
  for (const CMissingMember& member : m_missingMembers) {
    if (member.restored) keys.push_back(member.key);
  }
  return keys;
}

// A repair is whole only when every member it found missing is back.
DWORD CWorker::ReportMissingMembers() const {
  DWORD result = ERROR_SUCCESS;
  for (const CMissingMember& member : m_missingMembers) {
    if (IsProductInstalled(member.code)) continue;
    WriteLog(L"The repair could not install %s (%s, product code %s) again: it stays missing",
             member.key.c_str(), member.name.c_str(), member.code.c_str());
    result = ERROR_INSTALL_FAILURE;
  }
  return result;
}

// An earlier version goes before the new one is installed; when the run
// then fails, the rollback takes the new one and nothing brings the old
// one back.
void CWorker::LogRemovalsNotRestored() {
  std::vector<CRemoveAction*> removals;
  for (const auto& list : m_actionLists) {
    if (!list.second) continue;
    for (const auto& action : *list.second) {
      if (CRemoveAction* removal = dynamic_cast<CRemoveAction*>(action.get())) removals.push_back(removal);
    }
  }
  for (const auto& action : m_retiredActions) {
    if (CRemoveAction* removal = dynamic_cast<CRemoveAction*>(action.get())) removals.push_back(removal);
  }
  bool first = true;
  for (CRemoveAction* removal : removals) {
    const std::wstring& key = removal->GetUninstallKey();
    if (removal->GetAnswer() != CRemoveAction::kRemove || removal->GetDetectionState() != CRemoveAction::kNotFound ||
        key.empty() || CInstallGroupInfo::IsProductKeyInstalled(key)) {
      continue;
    }
    if (first) WriteLog(L"This run removed products and did not install them again:");
    first = false;
    WriteLog(L"   %s (%s), removed by %s", removal->GetProductName().c_str(), key.c_str(),
             removal->GetActionName().c_str());
  }
}
