#pragma once
// product_data.h: one product of the suite: what the configuration says of
// it, what its package adds, its features, relations, the user's choices
// and its disk cost. The loaders (configuration, relations, package,
// cached product file) are in product_data_dcf.cpp,
// product_data_relations.cpp, product_data_package.cpp and
// product_data_file.cpp (Windows); the rest is pure logic.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/feature_list.h"
#include "engine/relation_list.h"
#include "engine/selection_state.h"
#include "engine/version_info.h"

class CInstallGroupInfo;
class CKwIniFile;
class CSetupState;

class CProductData {
 public:
  explicit CProductData(const std::wstring& name);
  CProductData(const CProductData& other);
  // Safe on itself. PackageName, the package folder and Template stay.
  CProductData& operator=(const CProductData& other);
  virtual ~CProductData();

  // Base cost plus the selected features' costs; 0 when the product is not
  // selected, and never below 0.
  double GetSelectedCost() const;
  // Also the owner name of the relation list.
  void SetName(const std::wstring& name);
  // Package folder := the package path without its file name.
  void UpdatePackageFolder();
  // Each takes ownership and deletes what it held (unless it is the same).
  void SetSelectionState(std::unique_ptr<CSelectionState> state);
  void SetDesktopIconState(std::unique_ptr<CSelectionState> state);
  void SetQuickLaunchIconState(std::unique_ptr<CSelectionState> state);
  void SetRelations(std::unique_ptr<CRelationList> relations);
  void SetFeatures(std::unique_ptr<CFeatureList> features);
  void SetCost(double cost);

  // From the sections "Setup.<name>" and "InstallActions.<name>.<primary
  // action>" of the configuration. False when a listed feature could not be
  // placed in the tree.
  bool LoadFromDcf(const CKwIniFile& file, CSetupState* state);
  // A cached product file read on top of what is loaded. False with last
  // error 2 (no file) or 110 (unreadable file).
  bool LoadFromDcfFile(const std::wstring& path, CSetupState* state);
  // Fills what is still empty from the package at the package path.
  bool LoadFromPackage();
  // Only the product code and version, when still empty: the package's
  // database is read without opening the package or costing it. False when
  // the code is still unknown.
  bool LoadIdentityFromPackage();
  // Writes the cached product file (UTF-16LE). False with last error 87
  // (empty path), 13 (no name) or the write's error.
  bool SaveToDcf(const std::wstring& path) const;
  // Only what a cached product file records of the product's install (its
  // folder properties, whether the suite installed it); false when there is
  // no such file or it cannot be read.
  bool LoadInstallRecord(const std::wstring& path);

  void Init();
  void CopyFrom(const CProductData& other);
  void FreeOwned();
  // The value as stored, or the default when the section or key is empty or
  // absent.
  static std::wstring GetIniValue(const CKwIniFile& file, const std::wstring& section,
                                  const std::wstring& key, const std::wstring& defaultValue);
  bool LoadRelationships(const CKwIniFile& file, CSetupState* state);
  // The feature tree of the primary action; false when a feature is left
  // without its parent.
  bool LoadInstallActions(const CKwIniFile& file);
  // Cost minus the full cost of the top-level features, never below 0.
  void RecomputeBaseCost();

  const std::wstring& GetName() const { return m_name; }
  const std::wstring& GetProductCode() const { return m_productCode; }
  void SetProductCode(const std::wstring& code) { m_productCode = code; }
  const std::wstring& GetPackageCode() const { return m_packageCode; }
  void SetPackageCode(const std::wstring& code) { m_packageCode = code; }
  const std::wstring& GetProductGroup() const { return m_productGroup; }
  void SetProductGroup(const std::wstring& group) { m_productGroup = group; }
  const std::wstring& GetGroup() const { return m_group; }
  void SetGroup(const std::wstring& group) { m_group = group; }
  CInstallGroupInfo* GetInstallGroup() const { return m_installGroup; }
  void SetInstallGroup(CInstallGroupInfo* group) { m_installGroup = group; }
  const std::wstring& GetProductName() const { return m_productName; }
  void SetProductName(const std::wstring& name) { m_productName = name; }
  const std::wstring& GetShortProductName() const { return m_shortProductName; }
  void SetShortProductName(const std::wstring& name) { m_shortProductName = name; }
  CVersionInfo* GetVersion() const { return m_version.get(); }
  const std::wstring& GetOurCompanyName() const { return m_ourCompanyName; }
  void SetOurCompanyName(const std::wstring& name) { m_ourCompanyName = name; }
  const std::wstring& GetInternalProductName() const { return m_internalProductName; }
  void SetInternalProductName(const std::wstring& name) { m_internalProductName = name; }
  const std::wstring& GetPackageName() const { return m_packageName; }
  void SetPackageName(const std::wstring& name) { m_packageName = name; }
  const std::wstring& GetPackagePath() const { return m_packagePath; }
  void SetPackagePath(const std::wstring& path) { m_packagePath = path; }
  const std::wstring& GetSourcePackagePath() const { return m_sourcePackagePath; }
  void SetSourcePackagePath(const std::wstring& path) { m_sourcePackagePath = path; }
  const std::wstring& GetPackageFolder() const { return m_packageFolder; }
  const std::wstring& GetTransforms() const { return m_transforms; }
  void SetTransforms(const std::wstring& transforms) { m_transforms = transforms; }
  const std::wstring& GetSourceTransformPath() const { return m_sourceTransformPath; }
  void SetSourceTransformPath(const std::wstring& path) { m_sourceTransformPath = path; }
  // False for a package that is not a Windows Installer package (a
  // program): it is never opened through the installer.
  bool IsWindowsInstallerPackage() const { return m_windowsInstallerPackage; }
  void SetWindowsInstallerPackage(bool installer) { m_windowsInstallerPackage = installer; }
  const std::wstring& GetTemplate() const { return m_template; }
  // Also decides whether the product is 64-bit.
  void SetTemplate(const std::wstring& text);
  bool Is64Bit() const { return m_is64Bit; }
  uint16_t GetProductLanguage() const { return m_productLanguage; }
  void SetProductLanguage(uint16_t language) { m_productLanguage = language; }
  bool IsSamePackageInstalled() const { return m_samePackageInstalled; }
  void SetSamePackageInstalled(bool same) { m_samePackageInstalled = same; }
  bool HasPrimaryAction() const { return m_hasPrimaryAction; }
  CSelectionState* GetSelection() const { return m_selection.get(); }
  CSelectionState* GetDesktopIconState() const { return m_desktopIcon.get(); }
  CSelectionState* GetQuickLaunchIconState() const { return m_quickLaunchIcon.get(); }
  CRelationList* GetRelations() const { return m_relations.get(); }
  CFeatureList* GetFeatures() const { return m_features.get(); }
  double GetCost() const { return m_cost; }
  double GetBaseCost() const { return m_baseCost; }
  // What the suite's install recorded in the cached product file: the
  // folder properties the product's package was installed with, and
  // whether the suite counted the product as one it installed.
  const std::wstring& GetInstallFolders() const { return m_installFolders; }
  void SetInstallFolders(const std::wstring& properties) { m_installFolders = properties; }
  // The UpgradeCode of the product's package, kept in the product file: a
  // later run finds the products of its family by it when the package is gone.
  const std::wstring& GetUpgradeCode() const { return m_upgradeCode; }
  void SetUpgradeCode(const std::wstring& code) { m_upgradeCode = code; }
  bool IsInstalledForSuite() const { return m_installedForSuite; }
  void SetInstalledForSuite(bool installed) { m_installedForSuite = installed; }

 private:
  // The features were read before the code was known: they get it.
  void TakeProductCode(const std::wstring& code);
  void ReadInstallRecord(const CKwIniFile& file);
  void LoadNamesAndVersion(const CKwIniFile& file, const std::wstring& section);
  void LoadCodesAndCost(const CKwIniFile& file, const std::wstring& section,
                        const std::wstring& actionSection);

  std::wstring m_name;
  std::wstring m_productCode;
  std::wstring m_packageCode;
  std::wstring m_productGroup;
  std::wstring m_group;
  CInstallGroupInfo* m_installGroup = nullptr;
  std::wstring m_productName;
  std::wstring m_shortProductName;
  std::unique_ptr<CVersionInfo> m_version;
  std::wstring m_ourCompanyName;
  std::wstring m_internalProductName;
  std::wstring m_packageName;
  std::wstring m_packagePath;
  std::wstring m_sourcePackagePath;
  std::wstring m_packageFolder;
  std::wstring m_transforms;
  std::wstring m_sourceTransformPath;
  std::wstring m_template;
  bool m_windowsInstallerPackage = true;
  bool m_is64Bit = false;
  uint16_t m_productLanguage = 0;
  bool m_samePackageInstalled = false;
  std::unique_ptr<CSelectionState> m_selection;
  std::unique_ptr<CSelectionState> m_desktopIcon;
  std::unique_ptr<CSelectionState> m_quickLaunchIcon;
  bool m_hasPrimaryAction = false;
  std::unique_ptr<CRelationList> m_relations;
  std::unique_ptr<CFeatureList> m_features;
  double m_cost = 0.0;
  double m_baseCost = 0.0;
  std::wstring m_installFolders;
  std::wstring m_upgradeCode;
  bool m_installedForSuite = false;
};

// A shortcut option as the configuration or the package gives it: not
// offered: clear and hidden; "always" set and hidden, "never" clear and
// hidden, "1" set and shown, anything else clear and shown (case-blind).
void SetShortcutOption(CSelectionState* state, bool offered, const std::wstring& value);

// Template texts such as "Intel64;1033", "AMD64;1033" and "x64;1031" name a
// 64-bit package (case-sensitive).
bool Is64BitTemplate(const std::wstring& templateText);
