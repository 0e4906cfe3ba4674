#pragma once
// package_upgrade.h: CPackageUpgrade, the installed products that a product
// package removes as it installs, by its own Upgrade table: learnt before
// the package runs, while they, their names and their users are still there.
#include <string>
#include <vector>

class CPackageUpgrade {
 public:
  struct CReplacedProduct {
    std::wstring code;
    std::wstring name;
    // Filled by the run before the package starts: the other suites that
    // count the product, and the products it stood for itself.
    std::vector<std::wstring> otherSuites;
    std::vector<std::wstring> standsFor;
  };

  // The package with its transforms, as the run loads it.
  CPackageUpgrade(const std::wstring& packagePath, const std::wstring& transforms);

  // The installed products that the package's RemoveExistingProducts
  // takes: those its rows that are not detect-only find by UpgradeCode,
  // version and language; `ownCode`, the package's product, aside. None
  // when the package cannot be read.
  std::vector<CReplacedProduct> FindReplacedProducts(const std::wstring& ownCode) const;

 private:
  std::wstring m_packagePath;
  std::wstring m_transforms;
};
