// action_list_loader.cpp: gathers the products' item lists and runs the
// loaders of the mode in their order.
#include "engine/action_list_loader.h"

#include "actions/command_options.h"
#include "engine/action_list_sources.h"
#include "engine/dcf_values.h"
#include "engine/incompatible_suite_loader.h"
#include "engine/install_action_loader.h"
#include "engine/product_list.h"
#include "engine/removal_list_loader.h"
#include "engine/verify_list_loader.h"
#include "foundation/dcf_names.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

void CActionListLoader::GatherItems() {
  m_items = CItems();
  const CKwIniFile& configuration = m_sources.Configuration();
  ReadValueList(configuration, kProductGroupDefaultSection, kIncompatibleSuiteKey, &m_items.suites);
  bool hasMasters = m_sources.HasMasters();
  for (const std::wstring& product : m_sources.ProductList().Keys()) {
    std::wstring section = Format(kSetupSectionFormat, product.c_str());
    ReadValueList(configuration, section, kVerifyActionsKey, &m_items.verify, product);
    ReadValueList(configuration, section, kUpgradeConditionsKey, &m_items.upgrade, product);
    ReadValueList(configuration, section, kIncompatibleApplicationsKey, &m_items.incompatible, product);
    ReadValueList(configuration, section, kPreviousVersionsKey, &m_items.previous, product);
    if (!hasMasters || m_sources.IsMaster(product) || m_sources.Flag(section, kMasterExemptKey)) {
      ReadValueList(configuration, section, kInstallActionsKey, &m_items.install, product);
    }
  }
}

CActionListLoader::EResult CActionListLoader::Load(bool cleanSystem, CActionListMap* lists) {
  lists->clear();
  GatherItems();
  int mode = m_sources.Options().GetMode();
  if (mode == CCommandOptions::kModeUninstall || mode == CCommandOptions::kModeRepair) {
    CInstallActionLoader installs(m_sources);
    return installs.LoadUninstallGroupActions(m_items.install, lists) ? kLoaded : kBadInstallActions;
  }
  return LoadForInstall(cleanSystem, lists);
}

CActionListLoader::EResult CActionListLoader::LoadForInstall(bool cleanSystem, CActionListMap* lists) {
  CIncompatibleSuiteLoader suites(m_sources);
  if (!suites.LoadIncompatibleSuite(m_items.suites, cleanSystem, lists)) return kSuiteRemovalRefused;
  m_incompatibleSuites = suites.FoundSuites();
  m_incompatibleSuiteLists = suites.SuiteListNames();
  LoadChecks(lists);
  CRemovalListLoader removals(m_sources);
  removals.LoadIncompatibleApplications(m_items.incompatible, lists);
  removals.LoadPreviousVersions(m_items.previous, lists);
  m_productsToDisable = removals.ProductsToDisable();
  m_newerVersionKept = removals.IsNewerVersionKept();
  CInstallActionLoader installs(m_sources);
  return installs.LoadInstallActions(m_items.install, lists) ? kLoaded : kBadInstallActions;
}

void CActionListLoader::LoadChecks(CActionListMap* lists) {
  CVerifyListLoader checks(m_sources);
  checks.LoadUpgradeConditions(m_items.upgrade, lists);
  m_upgradeConditionMode = checks.UpgradeConditionMode();
  checks.LoadVerifyActions(m_items.verify, lists);
}

void CActionListLoader::LogLists(const CActionListMap& lists) {
  for (const auto& entry : lists) {
    WriteLog(L"Action list %s: %d actions", entry.first.c_str(), static_cast<int>(entry.second->GetCount()));
    for (const auto& action : *entry.second) {
      WriteLog(L"   %d %s", action->GetSequence(), action->GetActionName().c_str());
    }
  }
}
