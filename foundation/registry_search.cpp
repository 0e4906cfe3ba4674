// registry_search.cpp: depth-first search of a registry tree for a text
// value, through CRegistryKey so both registry views are looked at.
#include "foundation/registry_search.h"

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/error.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kSoftwarePrefix[] = L"SOFTWARE\\";
const wchar_t kDefaultValueName[] = L"BuildOEM";

// Key names are at most 255 characters.
const DWORD kMaxKeyNameLength = 256;

std::vector<std::wstring> EnumerateSubkeyNames(HKEY key) {
  std::vector<std::wstring> names;
  wchar_t name[kMaxKeyNameLength + 1];
  for (DWORD index = 0;; ++index) {
    DWORD length = kMaxKeyNameLength + 1;
    LONG result = RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) break;  // ERROR_NO_MORE_ITEMS, or nothing more to learn
    names.emplace_back(name, length);
  }
  return names;
}

bool TryOpen(HKEY root, const std::wstring& subkey, REGSAM access, CRegistryKey* key) {
  try {
    key->Open(root, subkey, access, false);
    return true;
  } catch (const CError&) {
    return false;
  }
}

void LogUserOnly(const std::wstring& what) {
  WriteLog(L"   %s is only in the user's own hive (HKCU): a per-machine run does not trust it and takes it as "
           L"not found", what.c_str());
}

}  // namespace

bool OpenMachineKey(const std::wstring& subkey, REGSAM access, CRegistryKey* key) {
  if (TryOpen(HKEY_LOCAL_MACHINE, subkey, access, key)) return true;
  CRegistryKey userKey;
  if (TryOpen(HKEY_CURRENT_USER, subkey, KEY_QUERY_VALUE, &userKey)) {
    LogUserOnly(Format(L"The key %s", subkey.c_str()));
  }
  return false;
}

BOOL FindRegistryValue(const std::wstring& keyPath, const std::wstring& valueName,
                       std::wstring* value) {
  std::wstring subkey = keyPath;
  if (!StartsWithNoCase(subkey, kSoftwarePrefix)) subkey = Format(L"SOFTWARE\\%s", keyPath.c_str());
  if (FindRegistryValueRecursive(HKEY_LOCAL_MACHINE, subkey, valueName, value)) return TRUE;
  std::wstring userValue;
  if (FindRegistryValueRecursive(HKEY_CURRENT_USER, subkey, valueName, &userValue)) {
    LogUserOnly(Format(L"The value %s below %s", valueName.empty() ? kDefaultValueName : valueName.c_str(),
                       subkey.c_str()));
  }
  return FALSE;
}

BOOL FindRegistryValueRecursive(HKEY root, const std::wstring& subkey,
                                const std::wstring& valueName, std::wstring* value) {
  if (!value) return FALSE;
  const std::wstring name = valueName.empty() ? std::wstring(kDefaultValueName) : valueName;
  std::vector<std::wstring> children;
  {
    CRegistryKey key;
    if (!TryOpen(root, subkey, KEY_READ, &key)) return FALSE;  // missing or closed to us: holds nothing
    try {
      *value = Trim(key.GetValueSZ(name));
      return TRUE;
    } catch (const CError&) {
      // Not here (or not text): look further down.
    }
    children = EnumerateSubkeyNames(key.GetHandle());
  }
  std::wstring parent = subkey;
  if (!parent.empty() && parent.back() != L'\\') parent += L'\\';
  for (const std::wstring& child : children) {
    if (FindRegistryValueRecursive(root, parent + child, name, value)) return TRUE;
  }
  return FALSE;
}
