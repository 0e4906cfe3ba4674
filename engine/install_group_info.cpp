// install_group_info.cpp: the suite's install groups, and the scan of the
// system's list of installed programs for the products that a suite uses.
#include "engine/install_group_info.h"

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/buffer.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"
#include "foundation/wow64.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kUninstallPath[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kUsedByValue[] = L"UsedBy";
const DWORD kNameLength = 260;

bool ListsUser(const std::vector<std::wstring>& users, const std::wstring& uuid) {
  for (const std::wstring& user : users) {
    if (EqualsNoCase(user, uuid)) return true;
  }
  return false;
}

}  // namespace

const wchar_t CInstallGroupInfoMap::kDefaultGroup[] = L"default";
const wchar_t CInstallGroupInfoMap::kRemoveGroup[] = L"remove";

bool CInstallGroupInfo::HasMember(const std::wstring& name) const {
  for (const std::wstring& member : m_members) {
    if (member == name) return true;
  }
  return false;
}

bool CInstallGroupInfo::FindMemberProducts() {
  if (m_uuid.empty()) {
    WriteLog(L"Unable to find product group members; no UUID set");
    return false;
  }
  m_members.clear();
  std::vector<REGSAM> views;
  if (IsWow64()) views = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
  else views = {0};
  bool scanned = true;
  for (REGSAM view : views) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallPath, 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
      WriteLog(L"Unable to open uninstall registry data in CInstallGroupInfo::FindMemberProducts");
      return false;
    }
    if (!ScanUninstallKey(key)) scanned = false;
    RegCloseKey(key);
  }
  return scanned;
}

bool CInstallGroupInfo::ScanUninstallKey(HKEY uninstallKey) {
  for (DWORD index = 0;; ++index) {
    wchar_t name[kNameLength] = L"";
    DWORD nameLength = kNameLength;
    LONG result = RegEnumKeyExW(uninstallKey, index, name, &nameLength, nullptr, nullptr, nullptr,
                                nullptr);
    if (result == ERROR_NO_MORE_ITEMS) return true;
    if (result != ERROR_SUCCESS) {
      WriteLog(L"Failed getting next uninstall key name in CInstallGroupInfo::FindMemberProducts; error code = %d",
               result);
      return false;
    }
    HKEY entryKey = nullptr;
    if (RegOpenKeyExW(uninstallKey, name, 0, KEY_QUERY_VALUE, &entryKey) != ERROR_SUCCESS) continue;
    // Read through the parent's handle, so the entry is the one of this view.
    DWORD type = 0;
    DWORD size = 0;
    LONG query = RegQueryValueExW(entryKey, kUsedByValue, nullptr, &type, nullptr, &size);
    std::vector<std::wstring> users;
    if (query == ERROR_SUCCESS && type == REG_MULTI_SZ && size > 0) {
      // Zero-filled and two characters longer: a value stored without its
      // terminators still ends.
      CBuffer buffer;
      buffer.Allocate(static_cast<int>(size + 2 * sizeof(wchar_t)));
      if (RegQueryValueExW(entryKey, kUsedByValue, nullptr, &type, buffer.GetBuffer(), &size) ==
          ERROR_SUCCESS) {
        MultiSzToStringArray(buffer, &users);
      }
    }
    RegCloseKey(entryKey);
    // An entry without a readable UsedBy is no member and no error.
    if (ListsUser(users, m_uuid)) m_members.push_back(name);
  }
}

CInstallGroupInfo* CInstallGroupInfoMap::Lookup(const std::wstring& key) const {
  for (const auto& entry : m_groups) {
    if (entry.first == key) return entry.second.get();
  }
  return nullptr;
}

CInstallGroupInfo* CInstallGroupInfoMap::SetAt(const std::wstring& key,
                                               std::unique_ptr<CInstallGroupInfo> group) {
  for (auto& entry : m_groups) {
    if (entry.first == key) {
      entry.second = std::move(group);
      return entry.second.get();
    }
  }
  m_groups.emplace_back(key, std::move(group));
  return m_groups.back().second.get();
}
