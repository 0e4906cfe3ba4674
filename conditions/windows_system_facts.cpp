// windows_system_facts.cpp: version, edition, architecture and languages of
// the running Windows.
#include "conditions/windows_system_facts.h"

#include <windows.h>

#include "foundation/error.h"
#include "foundation/registry_key.h"
#include "foundation/wow64.h"

namespace {

const wchar_t kProductOptionsKey[] = L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
const wchar_t kProductTypeValue[] = L"ProductType";
const int kMediaCenterMetric = 87;  // SM_MEDIACENTER

}  // namespace

bool CWindowsSystemFacts::GetOsVersion(COsVersionInfo* info) const {
  if (!info) return false;
  OSVERSIONINFOEXW extended = {};
  extended.dwOSVersionInfoSize = sizeof(extended);
  if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&extended))) {
    info->majorVersion = extended.dwMajorVersion;
    info->minorVersion = extended.dwMinorVersion;
    info->servicePackMajor = extended.wServicePackMajor;
    info->servicePackMinor = extended.wServicePackMinor;
    info->suiteMask = extended.wSuiteMask;
    info->extended = true;
    return true;
  }
  OSVERSIONINFOW basic = {};
  basic.dwOSVersionInfoSize = sizeof(basic);
  if (!GetVersionExW(&basic)) return false;
  *info = COsVersionInfo();
  info->majorVersion = basic.dwMajorVersion;
  info->minorVersion = basic.dwMinorVersion;
  return true;
}

bool CWindowsSystemFacts::GetProductType(std::wstring* type) const {
  if (!type) return false;
  try {
    CRegistryKey key;
    key.Open(HKEY_LOCAL_MACHINE, kProductOptionsKey, KEY_QUERY_VALUE, false);
    *type = key.GetValueSZ(kProductTypeValue);
    return true;
  } catch (const CError&) {
    // No key or no value: the caller takes the system for a workstation.
    return false;
  }
}

bool CWindowsSystemFacts::IsMediaCenter() const {
  return GetSystemMetrics(kMediaCenterMetric) != 0;
}

bool CWindowsSystemFacts::IsWow64() const { return ::IsWow64() != FALSE; }

uint16_t CWindowsSystemFacts::GetSystemDefaultLanguageId() const {
  return GetSystemDefaultLangID();
}

uint16_t CWindowsSystemFacts::GetUserDefaultLanguageId() const { return GetUserDefaultLangID(); }
