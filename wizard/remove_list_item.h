#pragma once
// remove_list_item.h: CRemoveListItem, one program on the remove-previous
// page with every removal record that names it, and the rules that merge
// the records into items and write the user's marks back. Pure logic.
#include <string>
#include <vector>

#include "engine/product_removal_data.h"

class CProductDataMap;

class CRemoveListItem {
 public:
  explicit CRemoveListItem(const std::wstring& name) : m_name(name) {}

  // The program is to be removed.
  bool IsChecked() const { return m_checked; }
  void SetChecked(bool checked) { m_checked = checked; }
  // Its removal is required; a locked item is always checked.
  bool IsLocked() const { return m_locked; }
  void SetLocked(bool locked);
  // The item appears in the tree.
  bool IsShown() const { return m_shown; }
  void SetShown(bool shown) { m_shown = shown; }
  const std::wstring& GetName() const { return m_name; }
  // The products of the suite that ask for the removal.
  const std::vector<std::wstring>& GetProducts() const { return m_products; }
  // Nothing when the name is listed already (exact comparison).
  void AddProduct(const std::wstring& product);
  void ClearProducts() { m_products.clear(); }

 private:
  bool m_checked = true;
  bool m_locked = false;
  bool m_shown = true;
  std::wstring m_name;
  std::vector<std::wstring> m_products;
};

using CRemoveList = std::vector<CRemoveListItem>;

// One item per display text (case-sensitive) of the records that belong to
// a product being installed: its product known, selected and not already
// on the machine. An item lists the products that require the removal when
// any record is locked, else those that advise it.
CRemoveList BuildRemoveItemList(const CProductDataMap& products, const CProductRemovalDataList& records);

// The first item of that name (case-sensitive); null when none.
const CRemoveListItem* FindRemoveItem(const CRemoveList& items, const std::wstring& name);

// Every record of an item's name takes the item's mark; a locked record
// stays marked.
void SaveRemoveSelections(const CRemoveList& items, CProductRemovalDataList* records);
