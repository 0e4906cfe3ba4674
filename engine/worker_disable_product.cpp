// worker_disable_product.cpp: taking a product out of the run, with the
// products that require it.
#include <algorithm>

#include "actions/command_options.h"
#include "engine/product_data.h"
#include "engine/relation_list.h"
#include "engine/selection_state.h"
#include "engine/worker.h"
#include "foundation/setup_log.h"

bool CWorker::DisableProduct(const std::wstring& key, bool checkMandatory) {
  WriteLog(L"   Disabling installation of product '%s'", key.c_str());
  CProductData* product = m_state->m_products.Lookup(key);
  if (!product || !m_productList.Contains(key)) {
    WriteLog(L"   Unable to find product '%s' in the product list to disable", key.c_str());
    return false;
  }
  if (checkMandatory && product->GetSelection() && product->GetSelection()->IsLocked()) {
    WriteLog(L"   Product '%s' is set as 'Mandatory' in the DCF and cannot be disabled", key.c_str());
    return false;
  }
  if (!m_productList.IsMaster(key) && m_replacements) {
    std::wstring skipped;
    auto found = m_replacements->Map().find(L"{SkippedProducts}");
    if (found != m_replacements->Map().end()) skipped = found->second;
    m_replacements->SetMacro(L"{SkippedProducts}", skipped + key + L"=SKIP ");
  }
  std::vector<std::wstring>& excluded = m_state->m_excludedOfferProducts;
  if (std::find(excluded.begin(), excluded.end(), key) == excluded.end()) excluded.push_back(key);

  // The products that require this one, read before its data goes.
  std::vector<std::wstring> dependents;
  if (const CRelationList* relations = product->GetRelations()) {
    for (size_t i = 0; i < relations->GetCount(); ++i) {
      const CRelation* relation = (*relations)[i];
      if (relation && relation->GetTarget() == key && relation->GetSource() != key) {
        dependents.push_back(relation->GetSource());
      }
    }
  }
  m_productList.Remove(key);
  m_state->m_products.RemoveKey(key);
  // Taken out of the list first, so requirements that form a cycle end.
  if (Mode() != CCommandOptions::kModeUninstall) {
    for (const std::wstring& dependent : dependents) {
      if (!m_productList.Contains(dependent)) continue;
      WriteLog(L"   Product '%s' requires '%s', which leaves the run: it leaves the run too", dependent.c_str(),
               key.c_str());
      DisableProduct(dependent, checkMandatory);
    }
  }
  return true;
}
