// product_list.cpp: the product list with its master products first, and
// each product's package and transform paths and costs.
#include "engine/product_list.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "engine/dcf_values.h"
#include "engine/product_data.h"
#include "engine/product_data_map.h"
#include "engine/replacement_map.h"
#include "foundation/dcf_names.h"
#include "foundation/file_utils.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const double kMinimumLargestCost = 140.0;

bool Contains(const std::vector<std::wstring>& list, const std::wstring& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

bool CProductList::IsMaster(const std::wstring& key) const { return ::Contains(m_masterProducts, key); }

bool CProductList::Contains(const std::wstring& key) const { return ::Contains(m_products, key); }

void CProductList::Remove(const std::wstring& key) {
  m_products.erase(std::remove(m_products.begin(), m_products.end(), key), m_products.end());
  m_masterProducts.erase(std::remove(m_masterProducts.begin(), m_masterProducts.end(), key),
                         m_masterProducts.end());
}

void CProductList::UncountGroup(const std::wstring& group) {
  auto found = m_groupCounts.find(group);
  if (found == m_groupCounts.end()) m_groupCounts[group] = 0;
  else --found->second;
}

bool CProductList::Parse(const CKwIniFile& configuration, CProductDataMap* productData) {
  m_products.clear();
  m_masterProducts.clear();
  ReadValueList(configuration, kSetupSection, kProductsKey, &m_products);
  if (m_products.empty()) {
    WriteLog(L"No installer products listed");
    return false;
  }
  // A key names the product's folder in the kit and its file in the suite's
  // cache: one that could name another place is refused before anything is
  // read from or written to it.
  for (const std::wstring& key : m_products) {
    if (!IsPlainFileName(key)) {
      WriteLog(L"The product key '%s' cannot name a file or folder: it holds a path, a drive or a device name",
               key.c_str());
      return false;
    }
  }
  CProductDataMap& map = *productData;
  for (const std::wstring& key : m_products) {
    map.SetAt(key, std::unique_ptr<CProductData>(new CProductData(key)));
  }
  ReadValueList(configuration, kSetupSection, kMasterKey, &m_masterProducts);
  if (!m_masterProducts.empty()) {
    m_masterProducts.erase(std::remove_if(m_masterProducts.begin(), m_masterProducts.end(),
                                          [&map](const std::wstring& key) { return !map.Lookup(key); }),
                           m_masterProducts.end());
    if (m_masterProducts.empty()) {
      WriteLog(L"All master installers listed are invalid");
      return false;
    }
    m_products.erase(std::remove_if(m_products.begin(), m_products.end(),
                                    [this](const std::wstring& key) { return IsMaster(key); }),
                     m_products.end());
    m_products.insert(m_products.begin(), m_masterProducts.begin(), m_masterProducts.end());
  }
  std::wstring joined;
  for (const std::wstring& key : m_products) joined += (joined.empty() ? L"" : L",") + key;
  WriteLog(L"Modified product list: %s", joined.c_str());
  m_multiProduct = m_products.size() > 1;
  return true;
}

// A program rather than an installer package names and costs itself in its
// Property section.
double CProductList::ReadPackages(const CKwIniFile& configuration, const std::wstring& installSource,
                                  const CReplacementMap& macros, CProductDataMap* productData) {
  double largestCost = kMinimumLargestCost;
  m_sourceEntries.clear();
  for (const std::wstring& key : m_products) {
    CProductData* product = productData->Lookup(key);
    if (product) ++m_groupCounts[product->GetProductGroup()];
    std::wstring setupSection = Format(kSetupSectionFormat, key.c_str());
    std::wstring packageName = macros.Expand(ReadDcfValue(configuration, setupSection, kPackageNameKey));
    std::wstring costText = ReadDcfValue(
        configuration, Format(kActionSectionFormat, key.c_str(), kInstallAction), kCostKey);
    if (!costText.empty()) largestCost = std::max(largestCost, wcstod(costText.c_str(), nullptr));
    bool ownFolder = m_multiProduct && !IsMaster(key);
    m_sourceEntries.push_back(ownFolder ? key : packageName);
    std::wstring folder = ownFolder ? installSource + key + L"\\" : installSource;
    std::wstring packagePath = folder + packageName;
    bool installerPackage = EndsWith(ToLower(packagePath), L".msi");
    if (!product) continue;
    product->SetPackageName(packageName);
    product->SetWindowsInstallerPackage(installerPackage);
    if (installerPackage) {
      product->SetSourcePackagePath(packagePath);
      std::wstring transform = ReadDcfValue(configuration, setupSection, kTransformKey);
      if (!transform.empty()) product->SetSourceTransformPath(folder + macros.Expand(transform));
    } else {
      std::wstring propertySection = Format(kPropertySectionFormat, key.c_str());
      product->SetProductName(ReadDcfValue(configuration, propertySection, kProductNameKey));
      product->SetCost(
          wcstod(ReadDcfValue(configuration, propertySection, kInstallCostKey, L"0.0").c_str(), nullptr));
    }
  }
  return largestCost;
}
