// install_group_info_map.cpp: the run's install groups by name.
#include "engine/install_group_info_map.h"

CInstallGroupInfo* CInstallGroupInfoMap::Lookup(const std::wstring& key) const {
  auto found = m_groups.find(key);
  return found == m_groups.end() ? nullptr : found->second.get();
}

void CInstallGroupInfoMap::SetAt(const std::wstring& key, std::unique_ptr<CInstallGroupInfo> group) {
  m_groups[key] = std::move(group);
}
