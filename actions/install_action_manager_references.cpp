// install_action_manager_references.cpp: how the action manager decides from
// a product's facts (its references, its build, its family) whether an
// action runs, upgrades in place, only adds or releases this suite's
// reference, or is skipped; what a rollback keeps; and the reference a
// finished install adds.
#include "actions/install_action_manager.h"

#include <windows.h>

#include <ctime>
#include <utility>
#include <vector>

#include "actions/install_action.h"
#include "actions/msi_product_state.h"
#include "actions/package_upgrade.h"
#include "actions/product_facts.h"
#include "actions/ref_counter.h"
#include "actions/uninstall_entry.h"
#include "engine/product_data.h"
#include "engine/selection_state.h"
#include "engine/setup_state.h"
#include "foundation/error.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

namespace {

bool ContainsUser(const std::vector<std::wstring>& users, const std::wstring& user) {
  for (const std::wstring& each : users) {
    if (EqualsNoCase(each, user)) return true;
  }
  return false;
}

std::wstring Joined(const std::vector<std::wstring>& texts) {
  std::wstring joined;
  for (const std::wstring& text : texts) joined += (joined.empty() ? L"" : L", ") + text;
  return joined;
}

}  // namespace

bool CInstallActionManager::GroupIdOf(const CInstallAction* action, const CProductData** product,
                                      std::wstring* id) const {
  *product = m_state->m_products.Lookup(action->GetKeyName());
  id->clear();
  return *product && m_groupIdOf && m_groupIdOf(**product, id) && !id->empty();
}

DWORD CInstallActionManager::Decide(CInstallAction* action, EDecision* decision) {
  *decision = kExecute;
  const CProductData* product = nullptr;
  std::wstring groupId;
  bool hasGroup = GroupIdOf(action, &product, &groupId);
  std::wstring nameText = action->GetName();
  const wchar_t* name = nameText.c_str();
  if (!product) {
    WriteLog(L"No product data found for action '%s' when checking reference count", name);
    *decision = kSkip;
    return ERROR_SUCCESS;
  }
  const std::wstring& code = action->GetProductCode();
  if (code.empty()) {
    WriteLog(L"   Action %s has no product code, no reference counting will be done.", name);
    return ERROR_SUCCESS;
  }
  // Read as the earlier actions of the list left the machine; no other
  // suite's run changes it meanwhile.
  CProductFacts facts = CProductFacts::Gather(code, product, hasGroup ? groupId : std::wstring());
  if (!action->IsUninstall() && !action->IsRepair() && action->RunsProductPackage()) {
    CProductFacts::EInstall road = facts.DecideInstall();
    if (road == CProductFacts::kUpgradeInPlace) {
      UpgradeInPlace(action, facts);
      return ERROR_SUCCESS;
    }
    if (road == CProductFacts::kStoodIn) {
      *decision = kSkip;
      return LeaveToStandIn(action, facts, hasGroup ? groupId : std::wstring());
    }
  }
  WriteLog(L"Getting reference count for action '%s', product code '%s'", name, code.c_str());
  if (facts.UsersError() != ERROR_SUCCESS) {
    WriteLog(L"%s", facts.UsersErrorText().c_str());
    return facts.UsersError();
  }
  DWORD count = facts.Count();
  if (facts.IsUncounted()) {
    DWORD result = DecideUncounted(action, &count, decision);
    if (result != ERROR_SUCCESS || *decision != kExecute) return result;
  }
  const std::vector<std::wstring>& users = facts.Users();

  if (action->IsUninstall()) {
    return DecideUninstall(action, *product, hasGroup, groupId, count, users, decision);
  }
  if (action->IsRepair() && count > 0 && hasGroup && !ContainsUser(users, groupId)) {
    LeaveUnlisted(action, groupId);
    *decision = kSkip;
    return ERROR_SUCCESS;
  }
  if (action->IsRepair() || count == 0) return ERROR_SUCCESS;
  // A reference alone is no installed product: a run killed inside the
  // package leaves it counted, and only advertised or gone.
  if (action->RunsProductPackage() && action->RunsInInstaller() && !facts.IsInstalled()) {
    WriteLog(L"   Product %s is counted for suites but is not installed: the run installs it", code.c_str());
    return ERROR_SUCCESS;
  }
  // The condition says whether the suite has the product at all: a suite
  // that would not install it does not count it either.
  bool unreadable = false;
  if (!action->IsWanted(&unreadable)) {
    *decision = kSkip;
    return unreadable ? ERROR_INVALID_DATA : ERROR_SUCCESS;
  }
  // Another suite installed the product: this one only adds its reference.
  *decision = kSkip;
  WriteLog(L"   Product %s is installed already: the run adds only the suite's reference and does not change "
           L"its features",
           code.c_str());
  if (!hasGroup) {
    WriteLog(L"      Cannot add reference for action '%s', group info is NULL", name);
    return ERROR_SUCCESS;
  }
  return action->AddReference(groupId);
}

// The suite brings the product up to date whoever counts it, no suite or
// several: its package runs over the installed build, in the folders it has.
// Every suite that counts it keeps its reference; one the user installed
// alone stays the user's.
void CInstallActionManager::UpgradeInPlace(CInstallAction* action, const CProductFacts& facts) {
  const wchar_t* code = facts.Code().c_str();
  WriteLog(L"   Product %s version %s is installed under the same product code as version %s of this suite: "
           L"the package upgrades it in place, keeping its installed features",
           code, facts.InstalledVersion().ToString().c_str(), facts.Version().ToString().c_str());
  if (facts.IsUsersOwn()) {
    WriteLog(L"   Product %s is counted by no suite: the user installed it alone, and it stays the user's, not "
             L"counted by this suite, its programs-list entry as it was",
             code);
  }
  action->UpgradeInPlace(facts.IsUsersOwn(), facts.IsHiddenFromList());
  if (facts.Folders().empty()) {
    WriteLog(L"   No folder of product %s is recorded: the installer keeps it where it is", code);
  } else {
    WriteLog(L"   Product %s stays in its folders: %s", code, facts.Folders().c_str());
    action->UseInstallFolders(facts.Folders());
  }
  std::vector<std::wstring> added = facts.NewFeatures();
  if (!added.empty()) {
    WriteLog(L"   The upgrade in place keeps the installed features of product %s and leaves out those new in "
             L"version %s: %s",
             code, facts.Version().ToString().c_str(), Joined(added).c_str());
  }
}

// A product of the family replaced the suite's member: the member is not
// installed beside it. The suite counts the replacing product when a
// suite's package put it in its place; one the user installed apart stays
// the user's.
DWORD CInstallActionManager::LeaveToStandIn(CInstallAction* action, const CProductFacts& facts,
                                            const std::wstring& suite) {
  const CProductFacts::CRelative* standIn = facts.StandIn();
  facts.LogStandIn(action->GetKeyName());
  if (!standIn->replacedThroughSuite || suite.empty() || ContainsUser(standIn->users, suite)) return ERROR_SUCCESS;
  return action->AddReferenceTo(suite, standIn->code);
}

DWORD CInstallActionManager::DecideUncounted(CInstallAction* action, DWORD* count,
                                             EDecision* decision) {
  const wchar_t* code = action->GetProductCode().c_str();
  WriteLog(L"Product %s is present but not reference counted; More Checking", code);
  *count = 0;
  LONG setupType = m_state->m_setupType;
  // Counted for no suite: the user installed it, or another program did,
  // and this suite's install left it alone. Its removal and repair do too.
  if (setupType == SetupTypeRemove || setupType == SetupTypeRepair) {
    std::wstring groupId;
    const CProductData* product = nullptr;
    GroupIdOf(action, &product, &groupId);
    LeaveUnlisted(action, groupId);
    *decision = kSkip;
    return ERROR_SUCCESS;
  }
  if (setupType == SetupTypeCleanSystem) {
    WriteLog(L"Product %s is present but not reference counted; Continue to remove Since it on "
             L"Uninstall mode",
             code);
    return ERROR_SUCCESS;
  }
  std::wstring name;
  std::wstring command;
  if (!ReadUninstallNameAndCommand(action->GetProductCode(), &name, &command)) {
    WriteLog(L"Product %s is present but no reference counted and No Uninstall Value; Should "
             L"Install it - Install mode",
             code);
    return ERROR_SUCCESS;
  }
  WriteLog(L"Product %s is present but no reference counted; Found Uninstall Value; Maybe install "
           L"by single product, Skip it - Install mode",
           code);
  *decision = kSkip;
  return ERROR_SUCCESS;
}

DWORD CInstallActionManager::DecideUninstall(CInstallAction* action, const CProductData& product,
                                             bool hasGroup, const std::wstring& groupId,
                                             DWORD count, const std::vector<std::wstring>& users,
                                             EDecision* decision) {
  std::wstring nameText = action->GetName();
  const wchar_t* name = nameText.c_str();
  if (m_state->m_setupType == SetupTypeModify) {
    for (const std::wstring& user : users) {
      if ((!hasGroup || !EqualsNoCase(user, groupId)) && !ContainsUser(m_otherUsers, user)) {
        m_otherUsers.push_back(user);
      }
    }
    bool removedWhole = product.GetSelection() && !product.GetSelection()->IsCurrent();
    if (removedWhole) return action->ReleaseAllReferences();
    if (action->RunsProductPackage()) return ERROR_SUCCESS;
    WriteLog(L"Skipping secondary remove action on feature-only uninstall");
    *decision = kSkip;
    return ERROR_SUCCESS;
  }
  if (count == 0) return ERROR_SUCCESS;
  if (!hasGroup) {
    *decision = kSkip;
    return ERROR_SUCCESS;
  }
  if (!ContainsUser(users, groupId)) {
    WriteLog(L"Group '%s' not found in reference list for action '%s', product code '%s'",
             groupId.c_str(), name, action->GetProductCode().c_str());
    // Other suites use the product and this one never counted it: removing
    // it would take it from them.
    LeaveUnlisted(action, groupId);
    *decision = kSkip;
    return ERROR_SUCCESS;
  }
  if (count == 1) return ERROR_SUCCESS;
  *decision = kSkip;
  return action->ReleaseReference(groupId);
}

// A product whose users do not include this suite is not this suite's to
// remove or repair.
void CInstallActionManager::LeaveUnlisted(const CInstallAction* action, const std::wstring& groupId) const {
  WriteLog(L"   Product %s does not list suite %s among its users: the suite's %s leaves it as it is",
           action->GetProductCode().c_str(), groupId.empty() ? L"(none)" : groupId.c_str(),
           action->IsUninstall() ? L"removal" : L"repair");
}

// The rule of every removal, for a rollback too: a product another suite
// lists now stays installed for it, whenever that suite came to count it.
// So does one this run's package put in place of a product other suites
// counted, which is gone for good: it is all of the family they have left,
// and it keeps their references.
bool CInstallActionManager::KeptByRollback(CInstallAction* action) const {
  if (!action->RunsProductPackage() || action->GetProductCode().empty()) return false;
  const CProductData* product = nullptr;
  std::wstring groupId;
  GroupIdOf(action, &product, &groupId);
  CProductFacts facts = CProductFacts::Gather(action->GetProductCode(), product, groupId);
  if (facts.IsKeptForOtherSuites()) return true;
  std::vector<std::wstring> suites = facts.SuitesStandingOn(action->GetReplacedProducts());
  if (suites.empty()) return false;
  for (const std::wstring& suite : suites) {
    WriteLog(L"   Action %s keeps product %s installed for suite %s: its package replaced a product that suite "
             L"counted, which the rollback cannot bring back",
             action->GetName().c_str(), action->GetProductCode().c_str(), suite.c_str());
    try {
      // Not journalled: the run's own undo is over, and this stays.
      CRefCounter counter;
      counter.AddReference(suite, action->GetProductCode(), false);
    } catch (const CError& error) {
      WriteLog(L"   The reference of suite %s to %s could not be kept: %s", suite.c_str(),
               action->GetProductCode().c_str(), error.GetMessage().c_str());
    }
  }
  action->SetKeptFor(suites);
  return true;
}

DWORD CInstallActionManager::AddFinishedReference(CInstallAction* action) {
  std::wstring nameText = action->GetName();
  const wchar_t* name = nameText.c_str();
  // A package that ends well and leaves nothing installed (an upgrade line
  // run where there was nothing to upgrade) did not install the product.
  const CProductData* installedData = m_state->m_products.Lookup(action->GetKeyName());
  const std::wstring& code = action->GetProductCode();
  if (!action->IsUninstall() && !action->IsRepair() && action->RunsProductPackage() && installedData &&
      installedData->IsWindowsInstallerPackage() && !code.empty() && !IsProductInstalled(code)) {
    WriteLog(L"   Action %s ended with success, but %s (product code %s) is not installed: the run fails", name,
             action->GetProductName().c_str(), code.c_str());
    return ERROR_INSTALL_FAILURE;
  }
  WriteLog(L"   Action %s was just installed.", name);
  if (action->LeavesUsersOwn()) {
    WriteLog(L"      Product %s is the user's own: no suite's reference or date and time stamp is added", code.c_str());
    return CarryReplacedReferences(action);
  }
  WriteLog(L"      Adding date and time stamp.");
  DWORD result = action->AddDateTimeStamp(time(nullptr));
  if (result == ERROR_SUCCESS) result = action->RecordInstallFolders();
  if (result != ERROR_SUCCESS) return result;
  const CProductData* product = nullptr;
  std::wstring groupId;
  bool hasGroup = GroupIdOf(action, &product, &groupId);
  if (!product) {
    WriteLog(L"      No data found for action '%s' when adding reference", name);
  } else if (!hasGroup) {
    WriteLog(L"      Cannot add reference for action '%s', group info is NULL", name);
  } else if (action->IsNoUninstall()) {
    WriteLog(L"      Action '%s' is set as NoUninstall, reference counting will not be done.", name);
  } else if (!action->IsUninstall()) {
    WriteLog(L"      Adding group '%s' reference for action '%s'", groupId.c_str(), name);
    result = action->AddReference(groupId);
    if (result != ERROR_SUCCESS) return result;
  }
  return action->IsUninstall() ? ERROR_SUCCESS : CarryReplacedReferences(action);
}

// Before a package installs: the products its own upgrade is to remove,
// named while they are there, and the other suites that count them.
void CInstallActionManager::NoteReplacedProducts(CInstallAction* action) {
  if (action->IsUninstall() || action->IsRepair() || !action->RunsProductPackage()) return;
  const CProductData* product = nullptr;
  std::wstring groupId;
  GroupIdOf(action, &product, &groupId);
  if (!product || !product->IsWindowsInstallerPackage() || product->GetPackagePath().empty()) return;
  std::vector<CPackageUpgrade::CReplacedProduct> replaced =
      CPackageUpgrade(product->GetPackagePath(), product->GetTransforms()).FindReplacedProducts(action->GetProductCode());
  for (CPackageUpgrade::CReplacedProduct& each : replaced) {
    WriteLog(L"   The package of action %s removes %s (product code %s) as it installs", action->GetName().c_str(),
             each.name.c_str(), each.code.c_str());
    std::vector<std::wstring> users;
    try {
      CRefCounter counter;
      counter.ReadUsers(each.code, &users);
    } catch (const CError&) {
      // Counted by no suite, or unreadable: no suite's reference to carry.
      users.clear();
    }
    for (const std::wstring& user : users) {
      if (EqualsNoCase(user, groupId) || ContainsUser(m_leavingSuites, user)) continue;
      WriteLog(L"   Suite %s counts %s (%s): its reference goes over to %s (%s), which replaces it",
               user.c_str(), each.name.c_str(), each.code.c_str(), action->GetProductName().c_str(),
               action->GetProductCode().c_str());
      each.otherSuites.push_back(user);
    }
    each.standsFor = CRefCounter::ReadReplacedProducts(each.code);
  }
  action->SetReplacedProducts(std::move(replaced));
}

// The suites that counted a product the package's upgrade removed count
// the product that replaced it, journalled as every reference of the run,
// and find it standing for their member (this suite is none of them: its own
// reference is added apart). A product the upgrade left installed keeps its
// suites.
DWORD CInstallActionManager::CarryReplacedReferences(CInstallAction* action) {
  for (const CPackageUpgrade::CReplacedProduct& each : action->GetReplacedProducts()) {
    if (each.otherSuites.empty()) continue;
    if (IsProductInstalled(each.code)) {
      WriteLog(L"   %s (%s) is still installed; suites counting it keep it", each.name.c_str(), each.code.c_str());
      continue;
    }
    std::vector<std::wstring> codes(1, each.code);
    codes.insert(codes.end(), each.standsFor.begin(), each.standsFor.end());
    DWORD result = action->RecordReplacedProducts(codes);
    for (auto suite = each.otherSuites.begin(); result == ERROR_SUCCESS && suite != each.otherSuites.end(); ++suite) {
      result = action->AddReference(*suite);
    }
    if (result != ERROR_SUCCESS) return result;
  }
  return ERROR_SUCCESS;
}
