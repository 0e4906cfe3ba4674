#pragma once
// install_group_info.h: a suite as a whole (its identity, what Add/Remove
// Programs shows for it, where it installs, its member products) and the
// run's map of such groups: "default", the suite this configuration
// describes, and "remove", the same suite found already installed.
#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

class CInstallGroupInfo {
 public:
  CInstallGroupInfo() = default;
  CInstallGroupInfo(const CInstallGroupInfo&) = delete;
  CInstallGroupInfo& operator=(const CInstallGroupInfo&) = delete;
  virtual ~CInstallGroupInfo() = default;

  // Exact comparison.
  virtual bool HasMember(const std::wstring& name) const;
  // Replaces the members by the Uninstall entries whose UsedBy lists the
  // UUID (case-blind), the 64-bit view then the 32-bit one; an entry in
  // both views is listed twice. False, after its log line, without a UUID,
  // when a view cannot be opened or its enumeration fails.
  virtual bool FindMemberProducts();
  // Adds the matching subkeys of one open Uninstall key; false when the
  // enumeration met an error.
  virtual bool ScanUninstallKey(HKEY uninstallKey);

  std::wstring m_uuid;
  std::wstring m_familyId;
  std::wstring m_displayName;
  std::wstring m_version;
  std::wstring m_iconPath;
  std::wstring m_helpLink;
  std::wstring m_urlInfoAbout;
  std::wstring m_buildNumber;
  std::wstring m_sku;
  std::vector<std::wstring> m_members;
  LONG m_overinstallAllowed = 1;
  LONG m_repairModeAllowed = 0;
  LONG m_repairOverInstall = 0;
  LONG m_alternatePath = 0;
  std::wstring m_basePath;
  std::wstring m_suiteFolder;
};

// Owns its groups; exact, case-sensitive keys, kept in insertion order.
class CInstallGroupInfoMap {
 public:
  static const wchar_t kDefaultGroup[];
  static const wchar_t kRemoveGroup[];

  CInstallGroupInfoMap() = default;
  CInstallGroupInfoMap(const CInstallGroupInfoMap&) = delete;
  CInstallGroupInfoMap& operator=(const CInstallGroupInfoMap&) = delete;

  // Null when absent.
  CInstallGroupInfo* Lookup(const std::wstring& key) const;
  // A group stored under the key before is deleted.
  CInstallGroupInfo* SetAt(const std::wstring& key, std::unique_ptr<CInstallGroupInfo> group);
  bool IsEmpty() const { return m_groups.empty(); }
  void RemoveAll() { m_groups.clear(); }

 private:
  std::vector<std::pair<std::wstring, std::unique_ptr<CInstallGroupInfo>>> m_groups;
};
