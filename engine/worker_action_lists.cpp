// worker_action_lists.cpp: the main routine's steps that build the action
// lists: loading them for the mode, the shutdown list before the run, and
// the icon choices on the install command lines.
#include "engine/worker.h"

#include <windows.h>

#include "actions/command_options.h"
#include "actions/install_action.h"
#include "actions/ref_counter.h"
#include "engine/action_list_loader.h"
#include "engine/action_list_sources.h"
#include "engine/product_data.h"
#include "engine/shutdown_list_loader.h"
#include "engine/source_redirection.h"
#include "foundation/setup_log.h"

namespace {

const wchar_t kSetupParamsMacro[] = L"{setupparams}";
const wchar_t kRebootProperty[] = L"REBOOT=";
const wchar_t kSuppressedReboot[] = L" REBOOT=ReallySuppress";
const wchar_t kLogSwitch[] = L" /L";
const wchar_t kInstallActionsList[] = L"INSTALL_ACTIONS";
const DWORD kSuiteRemovalRefused = ERROR_CANCELLED;

}  // namespace

// Without the run's reference counter, a kept newer version says that its
// reference is not recorded.
CActionListSources CWorker::MakeListSources() {
  CActionListSources sources(*m_configuration, *m_options, m_productList, m_state->m_products,
                             m_installGroups);
  sources.expandMacros = [this](const std::wstring& text) { return ExpandMacros(text); };
  sources.parser = m_expressionParser.get();
  sources.refCounter = m_refCounter.get();
  sources.referenceCounting = m_settings.referenceCounting;
  sources.perProductPlatforms = m_settings.perProductPlatforms;
  sources.kitFolder = SourceRedirection().KitFolder();
  sources.languageId = m_state->m_languageId;
  sources.suiteProductName = SuiteDisplayName();
  sources.suiteShortProductName = m_state->GetShortProductName();
  if (sources.suiteShortProductName.empty()) sources.suiteShortProductName = sources.suiteProductName;
  sources.droppedProducts = m_droppedProducts;
  sources.restoredProducts = RestoredMembers();
  return sources;
}

void CWorker::LoadActionLists() {
  if (m_productList.Keys().empty() || !m_configuration) {
    WriteLog(L"The product list is empty, this could be a corupt or misconfigured DCF.");
    AbortOnError(ERROR_INVALID_DATA, true);
  }
  m_actionLists.clear();
  m_actionListsLoaded = TRUE;
  std::wstring params;
  auto found = m_replacements->Map().find(kSetupParamsMacro);
  if (found != m_replacements->Map().end()) params = found->second;
  if (params.find(kRebootProperty) == std::wstring::npos) params += kSuppressedReboot;
  if (!m_settings.fastInstall && params.find(kLogSwitch) == std::wstring::npos) {
    m_options->AppendLogSwitch(&params);
  }
  m_replacements->SetMacro(kSetupParamsMacro, params);
  CRefCounter::SetReferenceCountingEnabled(m_settings.referenceCounting);

  int mode = Mode();
  if (mode == CCommandOptions::kModeUninstall || mode == CCommandOptions::kModeRepair) {
    m_state->m_maintenanceMode = 1;
    if (mode == CCommandOptions::kModeUninstall) m_suiteMode = TRUE;
  }
  // Before anything is removed: a product the run cannot remove keeps the
  // whole suite as it is.
  if ((mode == CCommandOptions::kModeUninstall || mode == CCommandOptions::kModeRepair) && !AddDroppedProducts()) {
    AbortOnError(ERROR_INSTALL_FAILURE, true);
  }
  FindMissingMembers();
  CActionListSources sources = MakeListSources();
  CActionListLoader loader(sources);
  CActionListLoader::EResult result = loader.Load(m_settings.cleanSystem, &m_actionLists);
  m_upgradeConditionMode = loader.UpgradeConditionMode();
  m_newerVersionKept = loader.IsNewerVersionKept();
  m_incompatibleSuites = loader.IncompatibleSuites();
  m_incompatibleSuiteLists = loader.IncompatibleSuiteLists();
  if (result == CActionListLoader::kSuiteRemovalRefused) throw static_cast<unsigned long>(kSuiteRemovalRefused);
  // A list that could not be read is not an installation that succeeds.
  if (result == CActionListLoader::kBadInstallActions) AbortOnError(ERROR_INVALID_DATA, true);
  for (const std::wstring& key : loader.ProductsToDisable()) DisableProduct(key, false);
  if (mode == CCommandOptions::kModeRepair) PrepareRepairActions();
  CActionListLoader::LogLists(m_actionLists);
}

void CWorker::LoadShutdownApplications() {
  if (!m_configuration) return;
  CActionListSources sources = MakeListSources();
  CShutdownListLoader loader(sources);
  // The removal records come with the wizard's removal data; until then
  // no product is left out for one.
  loader.LoadShutdownApplications(std::vector<std::wstring>(), &m_actionLists);
}

void CWorker::AddIconProperties() {
  CSetupActionList* list = CSetupActionList::Find(m_actionLists, kInstallActionsList);
  if (!list) return;
  for (const auto& entry : *list) {
    CInstallAction* action = dynamic_cast<CInstallAction*>(entry.get());
    CProductData* product = action ? m_state->m_products.Lookup(action->GetKeyName()) : nullptr;
    if (!product) continue;
    CSelectionState* desktop = product->GetDesktopIconState();
    CSelectionState* quickLaunch = product->GetQuickLaunchIconState();
    action->AddDesktopIconProperty(desktop && desktop->IsCurrent());
    action->AddQuickLaunchIconProperty(quickLaunch && quickLaunch->IsCurrent());
  }
}
