// worker_missing_products.cpp: the suite's products that are no longer on
// the machine: those a repair finds missing, which it installs again from
// their own package in the kit or names as not repaired, and those a failed run removed as
// earlier versions and did not bring back.
#include "engine/worker.h"

#include <windows.h>

#include "actions/command_options.h"
#include "actions/msi_package.h"
#include "actions/msi_product_state.h"
#include "actions/remove_action.h"
#include "engine/install_group_info.h"
#include "engine/product_data.h"
#include "foundation/file_utils.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

namespace {

// The product code the package installs; empty when it cannot be read.
std::wstring PackageProductCode(const CProductData& product) {
  std::wstring code;
  CMSIPackage package(product.GetPackagePath(), product.GetTransforms());
  if (!package.OpenDatabase() || !package.GetProperty(L"ProductCode", &code)) code.clear();
  return code;
}

}  // namespace

// A member the suite counted when it was registered and that is not
// installed now: the user removed it, or an upgrade that failed removed it
// as an earlier version. A repair from a kit that holds its own package
// installs it again; without that package it cannot: another kit's package
// of the same name may install another product, which no suite would count.
void CWorker::FindMissingMembers() {
  m_missingMembers.clear();
  const CInstallGroupInfo* group = m_installGroups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
  bool repair = Mode() == CCommandOptions::kModeRepair;
  if (!group || (!repair && Mode() != CCommandOptions::kModeUninstall)) return;
  for (const auto& entry : m_state->m_products) {
    CProductData* product = entry.second.get();
    const std::wstring& code = product->GetProductCode();
    if (!group->HasMember(entry.first) || !product->IsInstalledForSuite() || code.empty() ||
        IsMemberPresent(group->GetUuid(), code)) {
      continue;
    }
    CMissingMember member{entry.first, code, product->GetProductName(), false};
    if (repair) member.restored = HasOwnPackage(entry.first, product);
    m_missingMembers.push_back(member);
  }
}

// Whether the suite's member with this product code is on the machine.
// The suite's id will also find a product that replaced the member and
// carries the suite's reference.
bool CWorker::IsMemberPresent(const std::wstring& suiteId, const std::wstring& code) const {
  (void)suiteId;
  return IsProductInstalled(code);
}

bool CWorker::HasOwnPackage(const std::wstring& key, CProductData* product) {
  FindPackageAndTransform(key, product);
  const std::wstring& path = product->GetPackagePath();
  const std::wstring& code = product->GetProductCode();
  if (!product->IsWindowsInstallerPackage() || !FileExists(path)) {
    WriteLog(L"   %s (%s) of the suite is not installed, and its package '%s' is not there", key.c_str(),
             code.c_str(), path.c_str());
    return false;
  }
  std::wstring packageCode = PackageProductCode(*product);
  if (!EqualsNoCase(packageCode, code)) {
    WriteLog(L"   %s (%s) of the suite is not installed, and the package '%s' installs another product (%s): "
             L"the repair does not install it",
             key.c_str(), code.c_str(), path.c_str(), packageCode.empty() ? L"unreadable" : packageCode.c_str());
    return false;
  }
  WriteLog(L"   %s (%s) of the suite is not installed; the repair installs it again from '%s'", key.c_str(),
           code.c_str(), path.c_str());
  return true;
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
    WriteLog(member.restored ? L"The repair could not install %s (%s, product code %s) again: it stays missing"
                             : L"%s (%s, product code %s) cannot be repaired: the kit holds no package of that "
                               L"product, and it stays missing",
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
