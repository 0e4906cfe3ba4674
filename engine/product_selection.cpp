// product_selection.cpp: the action lists trimmed to the user's choice.
#include "engine/product_selection.h"

#include <algorithm>

#include "actions/command_options.h"
#include "engine/product_list.h"
#include "engine/setup_state.h"
#include "foundation/setup_log.h"

namespace {

const wchar_t kInstallActionsList[] = L"INSTALL_ACTIONS";
const wchar_t kVerifyActionsList[] = L"VERIFY_ACTIONS";
const wchar_t kShutdownActionsList[] = L"SHUTDOWN_ACTIONS";

}  // namespace

CProductSelection::CProductSelection(CSetupState* state, const CProductList& productList,
                                     CActionListMap* lists,
                                     std::vector<std::unique_ptr<CSetupAction>>* retired,
                                     DisableFunction disable, InstalledFunction installed)
    : m_state(state),
      m_productList(productList),
      m_lists(lists),
      m_retired(retired),
      m_disable(std::move(disable)),
      m_installed(std::move(installed)) {}

// Disabling a product deletes its data, and in an install that of the
// products that require it: the walks go over a copy of the keys and look
// each product up again.
std::vector<std::wstring> CProductSelection::ProductKeys() const {
  std::vector<std::wstring> keys;
  for (const auto& entry : m_state->m_products) keys.push_back(entry.first);
  return keys;
}

void CProductSelection::ApplyProductSelection(int mode, int uiLevel) {
  if (mode == CCommandOptions::kModeUninstall) {
    ApplyUninstallSelection(uiLevel);
    return;
  }
  std::vector<std::wstring> keys = ProductKeys();
  std::vector<std::wstring> inRunBefore;
  for (const std::wstring& key : keys) {
    if (m_productList.Contains(key)) inRunBefore.push_back(key);
  }

  for (const std::wstring& key : keys) {
    CProductData* product = m_state->m_products.Lookup(key);
    if (!product || !product->GetSelection()) continue;
    bool selected = product->GetSelection()->IsCurrent();
    if (selected && !product->IsSamePackageInstalled()) continue;
    if (!m_productList.Contains(key)) continue;
    if (selected) LogDroppedRemovals(key);
    DropOwnList(key);
    RemoveProductActions(kVerifyActionsList, key);
    if (!selected) {
      m_disable(key);
      RemoveProductActions(kInstallActionsList, key);
      RemoveProductActions(kShutdownActionsList, key);
    }
  }

  // Keys appended while this walk disables products belong to products that
  // have just left the run: walking by index sees them and passes them over.
  std::vector<std::wstring>& excluded = m_state->m_excludedOfferProducts;
  for (size_t i = 0; i < excluded.size(); ++i) {
    std::wstring key = excluded[i];
    if (!m_productList.Contains(key)) continue;
    m_disable(key);
    DropOwnList(key);
    TakeOutOfAllLists(key);
  }

  // The products that left the run with one disabled above because they
  // require it must not be installed either.
  for (const std::wstring& key : inRunBefore) {
    if (m_productList.Contains(key)) continue;
    DropOwnList(key);
    TakeOutOfAllLists(key);
  }
}

void CProductSelection::ApplyUninstallSelection(int uiLevel) {
  if (uiLevel >= CCommandOptions::kUILevelReduced) {
    // No choices were made: everything goes, locked products too.
    for (const auto& entry : m_state->m_products) {
      CProductData* product = entry.second.get();
      if (!product) continue;
      if (product->GetSelection()) product->GetSelection()->SetCurrent(false, true);
      if (product->GetFeatures()) product->GetFeatures()->SetSelected(false);
    }
    m_state->m_setupType = SetupTypeRemove;
    return;
  }
  for (const std::wstring& key : ProductKeys()) {
    CProductData* product = m_state->m_products.Lookup(key);
    if (!product || !product->GetSelection()) continue;
    if (product->GetSelection()->IsCurrent()) {
      m_keepsProducts = true;
      // Kept, unless one of its installed features is to be removed.
      if (HasInstalledDeselectedFeature(key) || !m_productList.Contains(key)) continue;
      m_disable(key);
      DropOwnList(key);
      RemoveProductActions(kInstallActionsList, key);
      continue;
    }
    // Nothing to remove from the machine for it.
    const std::wstring& code = product->GetProductCode();
    if (code.empty() || !m_installed(code)) RemoveProductActions(kInstallActionsList, key);
  }
}

bool CProductSelection::HasInstalledDeselectedFeature(const std::wstring& key) const {
  CProductData* product = m_state->m_products.Lookup(key);
  CFeatureList* features = product ? product->GetFeatures() : nullptr;
  if (!features) return false;
  std::vector<std::wstring> ids;
  features->GetUnselectedIds(&ids);
  return std::any_of(ids.begin(), ids.end(), [features](const std::wstring& id) {
    const CFeatureData* feature = features->FindById(id);
    return feature && feature->IsInstalled();
  });
}

// A product whose same package is installed stays as it is: its own
// removals, Force=1 ones too, are not run.
void CProductSelection::LogDroppedRemovals(const std::wstring& key) const {
  auto found = m_lists->find(key);
  if (found == m_lists->end() || !found->second) return;
  for (const auto& action : *found->second) {
    WriteLog(L"   %s is not run: the package of %s is installed already, and a product whose same package is "
             L"installed keeps its own removals out of the run",
             action->GetActionName().c_str(), key.c_str());
  }
}

void CProductSelection::DropOwnList(const std::wstring& key) {
  auto found = m_lists->find(key);
  if (found == m_lists->end()) return;
  if (found->second) {
    std::vector<std::wstring> keyNames;
    for (const auto& action : *found->second) keyNames.push_back(action->GetKeyName());
    for (const std::wstring& keyName : keyNames) Retire(found->second->TakeActionsOf(keyName));
  }
  m_lists->erase(found);
}

void CProductSelection::RemoveProductActions(const wchar_t* listName, const std::wstring& key) {
  CSetupActionList* list = CSetupActionList::Find(*m_lists, listName);
  if (list) Retire(list->TakeActionsOf(key));
}

void CProductSelection::Retire(std::vector<std::unique_ptr<CSetupAction>> actions) {
  for (auto& action : actions) m_retired->push_back(std::move(action));
}

void CProductSelection::TakeOutOfAllLists(const std::wstring& key) {
  RemoveProductActions(kVerifyActionsList, key);
  RemoveProductActions(kInstallActionsList, key);
  RemoveProductActions(kShutdownActionsList, key);
}
