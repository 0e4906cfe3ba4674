// worker_missing_products.cpp: the suite's products that are no longer on
// the machine: those a repair finds missing, which it installs again from
// their own package in the kit or names as not repaired, and those a failed
// run removed, as earlier versions or by a new package's own upgrade, and did
// not bring back.
#include "engine/worker.h"

#include <windows.h>

#include "actions/command_options.h"
#include "actions/install_action.h"
#include "actions/msi_package.h"
#include "actions/msi_product_state.h"
#include "actions/product_facts.h"
#include "actions/ref_counter.h"
#include "actions/remove_action.h"
#include "engine/install_group_info.h"
#include "engine/product_data.h"
#include "foundation/error.h"
#include "foundation/file_utils.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

// A property of the package; empty when it cannot be read.
std::wstring PackageProperty(const CProductData& product, const wchar_t* name) {
  std::wstring value;
  CMSIPackage package(product.GetPackagePath(), product.GetTransforms());
  if (!package.OpenDatabase() || !package.GetProperty(name, &value)) value.clear();
  return value;
}

std::wstring PackageProductCode(const CProductData& product) { return PackageProperty(product, L"ProductCode"); }

}  // namespace

// A member the suite counted when it was registered and that is not
// installed now: the user removed it, or an upgrade that failed removed it
// as an earlier version. A repair from a kit that holds its own package
// installs it again; without that package it cannot: another kit's package
// of the same name may install another product, which no suite would count.
// A member that a product of its family replaced is not missing: putting it
// back would register two products of one family, the older files over the
// newer.
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
    FindUpgradeCode(entry.first, product);
    CProductFacts facts = CProductFacts::Gather(code, product, group->GetUuid());
    if (LeftToStandIn(entry.first, facts, repair)) continue;
    CMissingMember member{entry.first, code, product->GetProductName(), false};
    if (repair) member.restored = HasOwnPackage(entry.first, product);
    m_missingMembers.push_back(member);
  }
}

// The product file of an older suite may not name the family: the kit's
// package does.
void CWorker::FindUpgradeCode(const std::wstring& key, CProductData* product) {
  if (!product->GetUpgradeCode().empty()) return;
  FindPackageAndTransform(key, product);
  if (product->IsWindowsInstallerPackage() && FileExists(product->GetPackagePath())) {
    product->SetUpgradeCode(PackageProperty(*product, L"UpgradeCode"));
  }
}

// A member replaced by a product of its family in its context stands on
// that product: one a suite's package put in its place carries the suite's
// reference, which a repair adds when the run commits; one the user
// installed apart stays the user's, counted by no suite.
bool CWorker::LeftToStandIn(const std::wstring& key, const CProductFacts& facts, bool repair) {
  const CProductFacts::CRelative* standIn = facts.StandIn();
  if (!standIn) return false;
  facts.LogStandIn(key);
  const CInstallGroupInfo* group = m_installGroups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
  if (repair && standIn->replacedThroughSuite && group && !facts.IsCountedBy(group->GetUuid())) {
    try {
      m_refCounter->AddReference(group->GetUuid(), standIn->code, true);
    } catch (const CError& error) {
      WriteLog(L"   The reference to %s could not be recorded: %s", standIn->code.c_str(), error.GetMessage().c_str());
    }
  }
  return true;
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
  LogProductsKeptForSuites();
}

// What the rollback kept: the products this run's packages put in place of
// products other suites counted, with the suites they are kept for.
void CWorker::LogProductsKeptForSuites() const {
  bool first = true;
  for (CInstallAction* action : InstallActions()) {
    if (action->GetKeptFor().empty()) continue;
    if (first) WriteLog(L"This run keeps products it installed for the suites that counted the products they replaced:");
    first = false;
    std::wstring replaced;
    for (const auto& each : action->GetReplacedProducts()) {
      replaced += (replaced.empty() ? L"" : L", ") + each.name + L" (" + each.code + L")";
    }
    std::wstring suites;
    for (const std::wstring& suite : action->GetKeptFor()) suites += (suites.empty() ? L"" : L", ") + suite;
    WriteLog(L"   %s (%s), in place of %s, for suites %s", action->GetProductName().c_str(),
             action->GetProductCode().c_str(), replaced.c_str(), suites.c_str());
  }
}

// The same for the message the run ends with: empty when nothing was lost.
std::wstring CWorker::ProductsNotRestoredText(const std::vector<CLostProduct>& lost) const {
  if (lost.empty()) return std::wstring();
  std::wstring text = L"\n\n" + LoadResourceString(IDS_PRODUCTS_NOT_RESTORED);
  for (const CLostProduct& each : lost) text += L"\n" + each.name + L" (" + each.key + L")";
  return text;
}
