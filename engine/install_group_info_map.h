#pragma once
// install_group_info_map.h: CInstallGroupInfoMap, the run's install groups
// by name ("default": this suite; "remove": its installed copy to remove
// first); owns them.
#include <map>
#include <memory>
#include <string>

#include "engine/install_group_info.h"

class CInstallGroupInfoMap {
 public:
  using Groups = std::map<std::wstring, std::unique_ptr<CInstallGroupInfo>>;

  // Exact keys; null when absent.
  CInstallGroupInfo* Lookup(const std::wstring& key) const;
  void SetAt(const std::wstring& key, std::unique_ptr<CInstallGroupInfo> group);
  bool IsEmpty() const { return m_groups.empty(); }
  Groups::const_iterator begin() const { return m_groups.begin(); }
  Groups::const_iterator end() const { return m_groups.end(); }

 private:
  Groups m_groups;
};
