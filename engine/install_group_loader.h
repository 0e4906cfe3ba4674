#pragma once
// install_group_loader.h: the suite read from [ProductGroup.Default] of the
// configuration, its products linked to it, and a copy of the suite or of
// its family already installed on the machine, which decides the install
// folder and whether the installed suite is removed first.
#include <string>

struct CEngineSettings;
class CInstallGroupInfo;
class CInstallGroupInfoMap;
class CKwIniFile;
class CProductList;
class CReplacementMap;
class CSetupState;

class CInstallGroupLoader {
 public:
  // All must outlive the loader.
  CInstallGroupLoader(const CKwIniFile& configuration, const CReplacementMap& macros,
                      const CProductList& products, CSetupState& state, CEngineSettings& settings,
                      CInstallGroupInfoMap* groups);
  CInstallGroupLoader(const CInstallGroupLoader&) = delete;
  CInstallGroupLoader& operator=(const CInstallGroupLoader&) = delete;

  // Fills the install groups. False, after its log line, for a
  // suite of several products without an id or a master, an id without a
  // display name, or a product naming a group that is not defined.
  bool Load();

 private:
  std::wstring Value(const wchar_t* key, const wchar_t* defaultValue = L"") const;
  std::wstring LogValue(const wchar_t* key);
  void ReadInstallPath(CInstallGroupInfo* group);
  bool LinkProducts();
  void ReadInstalledSuite(CInstallGroupInfo* group);
  void UseInstalledFolder(CInstallGroupInfo* group, const std::wstring& basePath,
                          const std::wstring& suiteFolder);
  void DecideOverinstall(CInstallGroupInfo* group, const std::wstring& displayName,
                         const std::wstring& version, const std::wstring& buildNumber,
                         const std::wstring& sku, const std::wstring& basePath,
                         const std::wstring& suiteFolder);
  void ReadFamilyPath(CInstallGroupInfo* group);

  const CKwIniFile& m_configuration;
  const CReplacementMap& m_macros;
  const CProductList& m_products;
  CSetupState& m_state;
  CEngineSettings& m_settings;
  CInstallGroupInfoMap& m_groups;
  bool m_installPathChanged = false;
};
