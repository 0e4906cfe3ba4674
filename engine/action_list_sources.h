#pragma once
// action_list_sources.h: CActionListSources, what the action-list loaders
// read: the configuration, the command options, the products and groups of
// the run and the objects the actions are linked to; with the small
// readings every loader shares.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class CCommandOptions;
class CExpressionParser;
class CInstallGroupInfoMap;
class CKwIniFile;
class CProductDataMap;
class CProductList;
class IRefCounting;

class CActionListSources {
 public:
  // None of them is owned; each must outlive the loaders.
  CActionListSources(const CKwIniFile& configuration, const CCommandOptions& options,
                     const CProductList& productList, CProductDataMap& products,
                     CInstallGroupInfoMap& groups);

  // A missing key gives the default; values are not trimmed.
  std::wstring Value(const std::wstring& section, const std::wstring& key,
                     const std::wstring& defaultValue = std::wstring()) const;
  // True only for "1".
  bool Flag(const std::wstring& section, const std::wstring& key,
            const std::wstring& defaultValue = L"0") const;
  // Of "Setup.<product>".
  std::wstring ProductValue(const std::wstring& product, const std::wstring& key,
                            const std::wstring& defaultValue = std::wstring()) const;

  // The product key of an item name "<product>.<item>".
  static std::wstring ProductKeyOf(const std::wstring& item);
  // The folder with a trailing backslash.
  static std::wstring WithBackslash(const std::wstring& folder);
  // Several products, and this one is not a master: its files are in a
  // folder of its own below the install source.
  bool HasOwnFolder(const std::wstring& product) const;
  // The install source with its backslash, and the product's own folder.
  std::wstring ProductFolder(const std::wstring& product) const;
  // The product data's name, else ProductName of "Property.<product>".
  std::wstring ProductName(const std::wstring& product) const;
  bool IsMaster(const std::wstring& product) const;
  bool HasMasters() const;
  bool IsMultiProduct() const;
  int UiLevel() const;
  // /qn+ and /qn: nobody to answer.
  bool IsQuietLevel() const;

  const CKwIniFile& Configuration() const { return m_configuration; }
  const CCommandOptions& Options() const { return m_options; }
  const CProductList& ProductList() const { return m_productList; }
  CProductDataMap& Products() const { return m_products; }
  CInstallGroupInfoMap& Groups() const { return m_groups; }

  // The run's macros and properties as they stand; null leaves a text as it is.
  std::function<std::wstring(const std::wstring&)> expandMacros;
  // Linked into the actions; any may be null.
  CExpressionParser* parser = nullptr;
  IRefCounting* refCounter = nullptr;
  bool referenceCounting = false;
  bool perProductPlatforms = false;
  // The kit's folder, which relative installer paths start from; the setup
  // folder when empty.
  std::wstring kitFolder;
  // The setup language, and the suite's names for the installer check.
  WORD languageId = 0;
  std::wstring suiteProductName;
  std::wstring suiteShortProductName;
  // An uninstall's products that the configuration no longer names, in the
  // order they go, after the named ones.
  std::vector<std::wstring> droppedProducts;
  // A repair's members that are missing and that it installs again.
  std::vector<std::wstring> restoredProducts;

 private:
  const CKwIniFile& m_configuration;
  const CCommandOptions& m_options;
  const CProductList& m_productList;
  CProductDataMap& m_products;
  CInstallGroupInfoMap& m_groups;
};
