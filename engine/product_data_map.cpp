// product_data_map.cpp: the run's products by name, and the selection of
// the products that selected ones require.
#include "engine/product_data_map.h"

#include "platform/wide_string.h"

CProductData* CProductDataMap::Lookup(const std::wstring& key) const {
  for (const CEntry& entry : m_entries) {
    if (entry.first == key) return entry.second.get();
  }
  return nullptr;
}

void CProductDataMap::SetAt(const std::wstring& key, std::unique_ptr<CProductData> product) {
  for (CEntry& entry : m_entries) {
    if (entry.first != key) continue;
    if (entry.second.get() == product.get()) {
      product.release();  // already held here
    } else {
      entry.second = std::move(product);
    }
    return;
  }
  m_entries.emplace_back(key, std::move(product));
}

bool CProductDataMap::RemoveKey(const std::wstring& key) {
  for (auto entry = m_entries.begin(); entry != m_entries.end(); ++entry) {
    if (entry->first == key) {
      m_entries.erase(entry);
      return true;
    }
  }
  return false;
}

void CProductDataMap::SelectRequiredProducts() {
  bool changed = true;
  while (changed) {
    changed = false;
    for (const CEntry& entry : m_entries) {
      CProductData* product = entry.second.get();
      if (!product || !product->GetSelection() || !product->GetSelection()->IsCurrent()) continue;
      const CRelationList* relations = product->GetRelations();
      for (size_t i = 0; relations && i < relations->GetCount(); ++i) {
        const CRelation* relation = (*relations)[i];
        CProductData* target = relation ? Lookup(relation->GetTarget()) : nullptr;
        if (!target || !target->GetSelection() || target->GetSelection()->IsCurrent()) continue;
        target->GetSelection()->SetCurrent(true, true);
        changed = true;
      }
    }
  }
}

CProductData* CProductDataMap::FindByName(const std::wstring& name) const {
  if (CProductData* byKey = Lookup(name)) return byKey;
  for (const CEntry& entry : m_entries) {
    if (entry.second && EqualsNoCase(entry.second->GetProductName(), name)) return entry.second.get();
  }
  return nullptr;
}

CProductData* CProductDataMap::FindByProductCode(const std::wstring& code) const {
  // Products whose code is not known yet are not all "the product ''".
  if (code.empty()) return nullptr;
  for (const CEntry& entry : m_entries) {
    if (entry.second && EqualsNoCase(entry.second->GetProductCode(), code)) return entry.second.get();
  }
  return nullptr;
}
