#pragma once
// install_group_info.h: CInstallGroupInfo, a suite as a whole: its
// identity and its member products, as this configuration describes it or
// as the registry's reference lists show it installed.
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

  const std::wstring& GetUuid() const { return m_uuid; }
  void SetUuid(const std::wstring& uuid) { m_uuid = uuid; }
  const std::wstring& GetDisplayName() const { return m_displayName; }
  void SetDisplayName(const std::wstring& name) { m_displayName = name; }
  const std::vector<std::wstring>& GetMembers() const { return m_members; }
  void AddMember(const std::wstring& name) { m_members.push_back(name); }

 private:
  std::wstring m_uuid;
  std::wstring m_displayName;
  std::vector<std::wstring> m_members;
};
