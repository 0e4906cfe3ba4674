// install_group_info.cpp: a suite's members, and finding the installed ones
// through the reference lists of the Uninstall entries.
#include "engine/install_group_info.h"

#include <windows.h>

#include <algorithm>

#include "actions/msi_product_state.h"
#include "actions/ref_counter.h"
#include "foundation/error.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"
#include "foundation/wow64.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kUsedByValue[] = L"UsedBy";
const wchar_t kUninstallStringValue[] = L"UninstallString";
const DWORD kNameLength = 260;

// A subkey that cannot be opened or has no readable list uses nobody.
bool IsUsedBy(const std::wstring& subkey, REGSAM view, const std::wstring& uuid) {
  std::vector<std::wstring> users;
  try {
    CRegistryKey key;
    key.Open(HKEY_LOCAL_MACHINE, std::wstring(kUninstallKey) + L"\\" + subkey, KEY_READ | view, false);
    key.GetValueMultiSZ(kUsedByValue, &users);
  } catch (const CError&) {
    return false;
  }
  return std::any_of(users.begin(), users.end(),
                     [&uuid](const std::wstring& user) { return EqualsNoCase(user, uuid); });
}

bool IsGuid(const std::wstring& code) {
  return code.size() == 38 && code.front() == L'{' && code.back() == L'}';
}

// An entry that has an UninstallString of any type, in either view.
bool HasUninstallString(const std::wstring& key) {
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    HKEY entry = nullptr;
    std::wstring path = std::wstring(kUninstallKey) + L"\\" + key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | view, &entry) != ERROR_SUCCESS) {
      continue;
    }
    LONG result = RegQueryValueExW(entry, kUninstallStringValue, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(entry);
    if (result == ERROR_SUCCESS) return true;
  }
  return false;
}

}  // namespace

bool CInstallGroupInfo::IsProductCodeKey(const std::wstring& key) { return IsGuid(key); }

bool CInstallGroupInfo::IsProductKeyInstalled(const std::wstring& key) {
  if (key.empty()) return false;
  if (IsGuid(key)) return IsProductInstalled(key);
  return HasUninstallString(key);
}

bool CInstallGroupInfo::FindInstalledMembers() {
  if (!FindMemberProducts()) return false;
  m_members.erase(std::remove_if(m_members.begin(), m_members.end(),
                                 [](const std::wstring& key) { return !IsProductKeyInstalled(key); }),
                  m_members.end());
  return true;
}

bool CInstallGroupInfo::HasInstalledMember(const std::wstring& uuid, std::vector<std::wstring>* installed) {
  // A group of its own: the caller's member list stays as configured.
  CInstallGroupInfo counted;
  counted.SetUuid(uuid);
  bool read = counted.FindInstalledMembers();
  if (installed) *installed = read ? counted.GetMembers() : std::vector<std::wstring>();
  return !read || !counted.GetMembers().empty();
}

std::wstring CInstallGroupInfo::InstalledProductFor(const std::wstring& suiteId, const std::wstring& memberCode) {
  if (memberCode.empty()) return std::wstring();
  if (IsProductInstalled(memberCode)) return memberCode;
  CInstallGroupInfo counted;
  counted.SetUuid(suiteId);
  if (!counted.FindInstalledMembers()) return std::wstring();
  for (const std::wstring& key : counted.GetMembers()) {
    for (const std::wstring& replaced : CRefCounter::ReadReplacedProducts(key)) {
      if (EqualsNoCase(replaced, memberCode)) return key;
    }
  }
  return std::wstring();
}

bool CInstallGroupInfo::HasMember(const std::wstring& name) const {
  return std::find(m_members.begin(), m_members.end(), name) != m_members.end();
}

bool CInstallGroupInfo::FindMemberProducts() {
  if (m_uuid.empty()) {
    WriteLog(L"Unable to find product group members; no UUID set");
    return false;
  }
  m_members.clear();
  std::vector<REGSAM> views;
  if (IsWow64()) {
    views = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
  } else {
    views = {0};
  }
  bool result = true;
  for (REGSAM view : views) {
    CRegistryKey key;
    try {
      key.Open(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_READ | view, false);
    } catch (const CError&) {
      WriteLog(L"Unable to open uninstall registry data in CInstallGroupInfo::FindMemberProducts");
      return false;
    }
    if (!ScanUninstallKey(key, view)) result = false;
  }
  return result;
}

bool CInstallGroupInfo::ScanUninstallKey(const CRegistryKey& uninstallKey, REGSAM view) {
  for (DWORD index = 0;; ++index) {
    wchar_t name[kNameLength] = {};
    DWORD length = kNameLength;
    LONG rc = RegEnumKeyExW(uninstallKey.GetHandle(), index, name, &length, nullptr, nullptr, nullptr,
                            nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) return true;
    if (rc != ERROR_SUCCESS) {
      WriteLog(L"Failed getting next uninstall key name in CInstallGroupInfo::FindMemberProducts; error code = %d", rc);
      return false;
    }
    if (IsUsedBy(name, view, m_uuid)) m_members.push_back(name);
  }
}
