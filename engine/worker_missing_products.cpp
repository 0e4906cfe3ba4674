// worker_missing_products.cpp: the suite's products that are no longer on
// the machine: those a repair finds missing, which it installs again from
// the kit or names as not repaired, and those a failed run removed, as
// earlier versions or by a new package's own upgrade, and did not bring back.
#include "engine/worker.h"

#include <windows.h>

#include "actions/command_options.h"
#include "actions/install_action.h"
#include "actions/msi_product_state.h"
#include "actions/remove_action.h"
#include "engine/install_group_info.h"
#include "engine/product_data.h"
#include "foundation/file_utils.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

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

// What a failed run took for good: the earlier versions it removed before
// the new ones went in, and the products a new package's own upgrade
// removed; the rollback takes the new ones, and nothing brings the old ones
// back. Each with its name as read before it went.
std::vector<CWorker::CLostProduct> CWorker::ProductsNotRestored() {
  std::vector<CSetupAction*> actions;
  for (const auto& list : m_actionLists) {
    if (!list.second) continue;
    for (const auto& action : *list.second) actions.push_back(action.get());
  }
  for (const auto& action : m_retiredActions) actions.push_back(action.get());
  std::vector<CLostProduct> lost;
  auto add = [&lost](const std::wstring& name, const std::wstring& key, const std::wstring& by) {
    for (const CLostProduct& each : lost) {
      if (EqualsNoCase(each.key, key)) return;
    }
    if (!key.empty() && !CInstallGroupInfo::IsProductKeyInstalled(key)) lost.push_back({name, key, by});
  };
  for (CSetupAction* action : actions) {
    if (CRemoveAction* removal = dynamic_cast<CRemoveAction*>(action)) {
      if (removal->GetAnswer() != CRemoveAction::kRemove || removal->GetDetectionState() != CRemoveAction::kNotFound) {
        continue;
      }
      std::wstring name = removal->GetRemovedProductName();
      add(name.empty() ? removal->GetProductName() : name, removal->GetUninstallKey(), removal->GetActionName());
    } else if (CInstallAction* install = dynamic_cast<CInstallAction*>(action)) {
      // A replacing product that stays stands for what it removed.
      if (!install->GetProductCode().empty() && IsProductInstalled(install->GetProductCode())) continue;
      for (const auto& replaced : install->GetReplacedProducts()) add(replaced.name, replaced.code, install->GetActionName());
    }
  }
  return lost;
}

void CWorker::LogRemovalsNotRestored() {
  std::vector<CLostProduct> lost = ProductsNotRestored();
  if (!lost.empty()) WriteLog(L"This run removed products and did not install them again:");
  for (const CLostProduct& each : lost) {
    WriteLog(L"   %s (%s), removed by %s", each.name.c_str(), each.key.c_str(), each.by.c_str());
  }
}

// The same for the message the run ends with: empty when nothing was lost.
std::wstring CWorker::ProductsNotRestoredText() {
  std::vector<CLostProduct> lost = ProductsNotRestored();
  if (lost.empty()) return std::wstring();
  std::wstring text = L"\n\n" + LoadResourceString(IDS_PRODUCTS_NOT_RESTORED);
  for (const CLostProduct& each : lost) text += L"\n" + each.name + L" (" + each.key + L")";
  return text;
}
