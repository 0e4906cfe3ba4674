// registry_search.cpp: depth-first search of a registry tree for a text
// value, through CRegistryKey so both registry views are looked at.
#include "foundation/registry_search.h"

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/error.h"
#include "foundation/registry_key.h"
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

}  // namespace

BOOL FindRegistryValue(const std::wstring& keyPath, const std::wstring& valueName,
                       std::wstring* value) {
  std::wstring subkey = keyPath;
  if (!StartsWithNoCase(subkey, kSoftwarePrefix)) subkey = Format(L"SOFTWARE\\%s", keyPath.c_str());
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    if (FindRegistryValueRecursive(root, subkey, valueName, value)) return TRUE;
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
    try {
      key.Open(root, subkey, KEY_READ, false);
    } catch (const CError&) {
      return FALSE;  // a key that is missing or closed to us holds nothing
    }
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
