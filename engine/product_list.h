#pragma once
// product_list.h: the suite's products in the order every later step walks
// them, master products first, and each product's package as the
// configuration names it.
#include <map>
#include <string>
#include <vector>

class CKwIniFile;
class CProductDataMap;
class CReplacementMap;

class CProductList {
 public:
  // Products and Master of [Setup]: one product data per key goes into
  // `productData`. False, after its log line, when Products names nothing,
  // a key is no plain file name, or no master product is one of them.
  bool Parse(const CKwIniFile& configuration, CProductDataMap* productData);
  // Each product's package and transform path below `installSource` (a
  // product folder of its own unless it is a master) and its costs; returns
  // the largest install cost in megabytes, at least the built-in minimum.
  double ReadPackages(const CKwIniFile& configuration, const std::wstring& installSource,
                      const CReplacementMap& macros, CProductDataMap* productData);

  const std::vector<std::wstring>& Keys() const { return m_products; }
  // Each product's place in the install source, as ReadPackages found it:
  // its folder in a suite of several products, else (a master product, the
  // only product) its package; products disabled later stay listed.
  const std::vector<std::wstring>& SourceEntries() const { return m_sourceEntries; }
  bool Contains(const std::wstring& key) const;
  // Takes the product out of the list, the master list included.
  void Remove(const std::wstring& key);
  bool IsMaster(const std::wstring& key) const;
  // More than one product.
  bool IsMultiProduct() const { return m_multiProduct; }
  // More than one product and no master: the engine runs the suite itself.
  bool HasIndependentProducts() const { return m_multiProduct && m_masterProducts.empty(); }
  // How many products of the list share each product group.
  const std::map<std::wstring, int>& GroupCounts() const { return m_groupCounts; }
  // One product of the group fewer; a group not counted yet gets 0.
  void UncountGroup(const std::wstring& group);

 private:
  std::vector<std::wstring> m_products;
  std::vector<std::wstring> m_masterProducts;
  std::vector<std::wstring> m_sourceEntries;
  std::map<std::wstring, int> m_groupCounts;
  bool m_multiProduct = true;
};
