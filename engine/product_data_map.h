#pragma once
// product_data_map.h: every product of the run under its configuration
// name; owns them. Kept in insertion order. Pure logic.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/product_data.h"

class CProductDataMap {
 public:
  using CEntry = std::pair<std::wstring, std::unique_ptr<CProductData>>;

  CProductDataMap() = default;
  CProductDataMap(const CProductDataMap&) = delete;
  CProductDataMap& operator=(const CProductDataMap&) = delete;

  // Exact, case-sensitive keys; null when absent.
  CProductData* Lookup(const std::wstring& key) const;
  // A product stored under the key before is deleted; the key keeps its
  // place in the order.
  void SetAt(const std::wstring& key, std::unique_ptr<CProductData> product);
  // Deletes the product; false when the key is absent.
  bool RemoveKey(const std::wstring& key);
  void RemoveAll() { m_entries.clear(); }
  size_t GetCount() const { return m_entries.size(); }
  bool IsEmpty() const { return m_entries.empty(); }
  std::vector<CEntry>::const_iterator begin() const { return m_entries.begin(); }
  std::vector<CEntry>::const_iterator end() const { return m_entries.end(); }

  // Selects, even when locked, every product that a selected product's
  // relations name as required, until nothing changes.
  void SelectRequiredProducts();
  // The product stored under the text as its key; otherwise the first whose
  // ProductName equals it case-blind.
  CProductData* FindByName(const std::wstring& name) const;
  // The first whose ProductCode equals the code case-blind; null for an
  // empty code.
  CProductData* FindByProductCode(const std::wstring& code) const;

 private:
  std::vector<CEntry> m_entries;
};
