// remove_list_item.cpp: the remove-previous page's items and their records.
#include "wizard/remove_list_item.h"

#include <algorithm>

#include "engine/product_data_map.h"

namespace {

// A record of a product that is not being installed, or whose package is
// installed already, asks nothing of this run.
bool IsRecordInRun(const CProductDataMap& products, const CProductRemovalData& record) {
  const CProductData* product = products.FindByName(record.GetDetailB());
  if (!product || product->IsSamePackageInstalled()) return false;
  return product->GetSelection() && product->GetSelection()->IsCurrent();
}

CRemoveListItem* FindItem(CRemoveList* items, const std::wstring& name) {
  for (CRemoveListItem& item : *items) {
    if (item.GetName() == name) return &item;
  }
  return nullptr;
}

}  // namespace

void CRemoveListItem::SetLocked(bool locked) {
  m_locked = locked;
  if (locked) m_checked = true;
}

void CRemoveListItem::AddProduct(const std::wstring& product) {
  if (std::find(m_products.begin(), m_products.end(), product) == m_products.end()) {
    m_products.push_back(product);
  }
}

CRemoveList BuildRemoveItemList(const CProductDataMap& products, const CProductRemovalDataList& records) {
  CRemoveList items;
  for (const CProductRemovalData& record : records) {
    if (!IsRecordInRun(products, record)) continue;
    bool locked = record.IsLocked() != 0;
    bool shown = record.GetShowDetails() != 0;
    CRemoveListItem* item = FindItem(&items, record.GetDisplayText());
    if (!item) {
      CRemoveListItem created(record.GetDisplayText());
      created.SetShown(shown);
      created.SetLocked(locked);
      created.SetChecked(locked || record.IsChecked());
      created.AddProduct(record.GetDetailA());
      items.push_back(created);
      continue;
    }
    // The first required record replaces the products that only advised it.
    if (!item->IsLocked() && locked) item->ClearProducts();
    if (!(item->IsLocked() && !locked)) item->AddProduct(record.GetDetailA());
    item->SetShown(item->IsShown() || shown);
    item->SetLocked(item->IsLocked() || locked);
    item->SetChecked(item->IsChecked() || record.IsChecked() || item->IsLocked());
  }
  return items;
}

const CRemoveListItem* FindRemoveItem(const CRemoveList& items, const std::wstring& name) {
  for (const CRemoveListItem& item : items) {
    if (item.GetName() == name) return &item;
  }
  return nullptr;
}

void SaveRemoveSelections(const CRemoveList& items, CProductRemovalDataList* records) {
  if (!records) return;
  for (const CRemoveListItem& item : items) {
    for (CProductRemovalData& record : *records) {
      if (item.GetName() == record.GetDisplayText()) record.SetChecked(item.IsChecked() ? 1 : 0);
    }
  }
}
