// package_upgrade.cpp: a package's Upgrade table against the products the
// installer knows on the machine.
#include "actions/package_upgrade.h"

#include <windows.h>

#include "actions/msi_package.h"
#include "actions/msi_product_state.h"
#include "actions/msi_strings.h"
#include "actions/upgrade_row.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kVersionProperty[] = L"VersionString";
const wchar_t kLanguageProperty[] = L"Language";
const wchar_t kNameProperty[] = L"InstalledProductName";

std::wstring ProductInfo(const std::wstring& code, const wchar_t* property) {
  std::wstring value;
  ReadProductInfo(code, property, &value);
  return value;
}

bool Listed(const std::vector<CPackageUpgrade::CReplacedProduct>& products, const std::wstring& code) {
  for (const auto& product : products) {
    if (EqualsNoCase(product.code, code)) return true;
  }
  return false;
}

}  // namespace

CPackageUpgrade::CPackageUpgrade(const std::wstring& packagePath, const std::wstring& transforms)
    : m_packagePath(packagePath), m_transforms(transforms) {}

std::vector<CPackageUpgrade::CReplacedProduct> CPackageUpgrade::FindReplacedProducts(
    const std::wstring& ownCode) const {
  std::vector<CReplacedProduct> replaced;
  CMSIPackage package(m_packagePath, m_transforms);
  std::vector<CUpgradeRow> rows;
  if (!package.OpenDatabase() || !package.GetUpgradeRows(&rows)) return replaced;
  for (const CUpgradeRow& row : rows) {
    for (const std::wstring& code : InstalledProductsOfFamily(row.upgradeCode)) {
      if (EqualsNoCase(code, ownCode) || Listed(replaced, code)) continue;
      int language = 0;
      if (!StringToInt(ProductInfo(code, kLanguageProperty), &language)) language = 0;
      if (!row.Removes(ProductInfo(code, kVersionProperty), language)) continue;
      CReplacedProduct product;
      product.code = code;
      product.name = ProductInfo(code, kNameProperty);
      replaced.push_back(product);
    }
  }
  return replaced;
}
