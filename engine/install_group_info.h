#pragma once
// install_group_info.h: CInstallGroupInfo, a suite as a whole: its
// identity, what Add/Remove Programs shows for it, where it installs, and
// its member products, as this configuration describes it or as the
// registry's reference lists show it installed.
#include <windows.h>

#include <string>
#include <vector>

class CRegistryKey;

class CInstallGroupInfo {
 public:
  CInstallGroupInfo() = default;
  virtual ~CInstallGroupInfo() = default;

  // Exact comparison.
  virtual bool HasMember(const std::wstring& name) const;
  // The member list := the Uninstall subkeys, in both views on a 64-bit
  // system, whose UsedBy lists the UUID (case-blind). False after its log
  // line for an empty UUID or a view that cannot be read.
  virtual bool FindMemberProducts();
  // Adds the matching subkeys of the Uninstall key open in `view`; false
  // when the enumeration failed.
  virtual bool ScanUninstallKey(const CRegistryKey& uninstallKey, REGSAM view);
  // FindMemberProducts, keeping only the members still installed.
  bool FindInstalledMembers();
  // Whether an installed product lists the suite `uuid` among its users.
  // Products that cannot all be read count as installed: the suite's record
  // is what can remove them. `installed`, when given, receives the products
  // found, and stays empty when they could not all be read.
  static bool HasInstalledMember(const std::wstring& uuid, std::vector<std::wstring>* installed = nullptr);
  // The installed product that stands for the suite's member `memberCode`:
  // the member itself when installed; else an installed product that lists
  // the suite among its users and replaced the member (its package's own
  // upgrade removed it, and the suite's reference went over); else empty.
  static std::wstring InstalledProductFor(const std::wstring& suiteId, const std::wstring& memberCode);
  // An installer product the installer knows, or an entry that still says
  // how to remove it.
  static bool IsProductKeyInstalled(const std::wstring& key);
  // A key in the form of an installer product code, which the installer
  // can remove the product by.
  static bool IsProductCodeKey(const std::wstring& key);

  const std::wstring& GetUuid() const { return m_uuid; }
  void SetUuid(const std::wstring& uuid) { m_uuid = uuid; }
  const std::wstring& GetDisplayName() const { return m_displayName; }
  void SetDisplayName(const std::wstring& name) { m_displayName = name; }
  const std::vector<std::wstring>& GetMembers() const { return m_members; }
  void AddMember(const std::wstring& name) { m_members.push_back(name); }

  // What Add/Remove Programs shows of the suite.
  const std::wstring& GetFamilyId() const { return m_familyId; }
  void SetFamilyId(const std::wstring& id) { m_familyId = id; }
  const std::wstring& GetVersion() const { return m_version; }
  void SetVersion(const std::wstring& version) { m_version = version; }
  const std::wstring& GetIconPath() const { return m_iconPath; }
  void SetIconPath(const std::wstring& path) { m_iconPath = path; }
  const std::wstring& GetHelpLink() const { return m_helpLink; }
  void SetHelpLink(const std::wstring& link) { m_helpLink = link; }
  const std::wstring& GetUrlInfoAbout() const { return m_urlInfoAbout; }
  void SetUrlInfoAbout(const std::wstring& url) { m_urlInfoAbout = url; }
  const std::wstring& GetBuildNumber() const { return m_buildNumber; }
  void SetBuildNumber(const std::wstring& number) { m_buildNumber = number; }
  const std::wstring& GetSku() const { return m_sku; }
  void SetSku(const std::wstring& sku) { m_sku = sku; }
  // Where it installs: the suite folder below the base folder.
  const std::wstring& GetBasePath() const { return m_basePath; }
  void SetBasePath(const std::wstring& path) { m_basePath = path; }
  const std::wstring& GetSuiteFolder() const { return m_suiteFolder; }
  void SetSuiteFolder(const std::wstring& folder) { m_suiteFolder = folder; }
  // Whether an installed copy may be installed over or repaired, and what
  // the loader decided: repair it instead, or its folder came from a suite
  // of the same family.
  bool IsOverinstallAllowed() const { return m_overinstallAllowed; }
  void SetOverinstallAllowed(bool allowed) { m_overinstallAllowed = allowed; }
  bool IsRepairModeAllowed() const { return m_repairModeAllowed; }
  void SetRepairModeAllowed(bool allowed) { m_repairModeAllowed = allowed; }
  bool IsRepairOverInstall() const { return m_repairOverInstall; }
  void SetRepairOverInstall(bool repair) { m_repairOverInstall = repair; }
  bool HasAlternatePath() const { return m_alternatePath; }
  void SetAlternatePath(bool alternate) { m_alternatePath = alternate; }

 private:
  std::wstring m_uuid;
  std::wstring m_displayName;
  std::vector<std::wstring> m_members;
  std::wstring m_familyId;
  std::wstring m_version;
  std::wstring m_iconPath;
  std::wstring m_helpLink;
  std::wstring m_urlInfoAbout;
  std::wstring m_buildNumber;
  std::wstring m_sku;
  std::wstring m_basePath;
  std::wstring m_suiteFolder;
  bool m_overinstallAllowed = true;
  bool m_repairModeAllowed = false;
  bool m_repairOverInstall = false;
  bool m_alternatePath = false;
};
