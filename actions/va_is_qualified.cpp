// va_is_qualified.cpp: the platform check. The configuration lists entries
// "FAMILY:major[.minor][:spmajor[.spminor]]"; the first entry of the running
// family decides, and the Allow flags can refuse 64-bit Windows, XP Home
// Edition and Server 2003 in the NT family.
#include "actions/va_is_qualified.h"

#include <windows.h>

#include <vector>

#include "foundation/error.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const unsigned short kPlatformArea = 8;
const DWORD kBadNumber = 0x8004006B;
const DWORD kUnknownPlatform = 0x8004006C;
const wchar_t kProductOptionsKey[] = L"SYSTEM\\CurrentControlSet\\Control\\ProductOptions";
const wchar_t kProductSuiteValue[] = L"ProductSuite";
const wchar_t kProductTypeValue[] = L"ProductType";

bool IsNo(const std::wstring& text) {
  return EqualsNoCase(text, L"FALSE") || EqualsNoCase(text, L"NO") || text == L"0";
}

int ReadNumber(const std::wstring& text) {
  int value = 0;
  if (!StringToInt(Trim(text), &value)) ReportInternalError(kPlatformArea, kBadNumber, nullptr);
  return value;
}

// "5.1" into two numbers; a missing part is 0.
void ReadPair(const std::wstring& text, int* first, int* second) {
  size_t dot = text.find(L'.');
  *first = ReadNumber(text.substr(0, dot));
  *second = dot == std::wstring::npos ? 0 : ReadNumber(text.substr(dot + 1));
}

// "Service Pack 2.1": from the first digit, major "." minor.
void ServicePackFromText(const std::wstring& text, DWORD* major, DWORD* minor) {
  *major = *minor = 0;
  size_t digit = text.find_first_of(L"0123456789");
  if (digit == std::wstring::npos) return;
  const wchar_t* cursor = text.c_str() + digit;
  wchar_t* end = nullptr;
  *major = wcstoul(cursor, &end, 10);
  if (*end == L'.') *minor = wcstoul(end + 1, nullptr, 10);
}

bool ReadWow64() {
  using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
  HMODULE kernel = GetModuleHandleW(L"kernel32");
  auto isWow64Process =
      kernel ? reinterpret_cast<IsWow64ProcessFunction>(GetProcAddress(kernel, "IsWow64Process")) : nullptr;
  if (!isWow64Process) return false;
  BOOL wow64 = FALSE;
  if (!isWow64Process(GetCurrentProcess(), &wow64)) {
    DWORD error = GetLastError();
    WriteLog(L"Failed to determine presence of WOW64. Error code = %08X", error);
    return false;
  }
  return wow64 != FALSE;
}

}  // namespace

CVAIsQualified::CVAIsQualified(int sequence, const std::wstring& keyName,
                               const std::wstring& actionName, const std::wstring& productName,
                               const std::wstring& platforms, const std::wstring& allowWin64,
                               const std::wstring& allowWinXPHome,
                               const std::wstring& allowWinServer2k3)
    : CVerifyAction(sequence, keyName, actionName, productName),
      m_platforms(platforms),
      m_productName(productName),
      m_allowWin64(allowWin64),
      m_allowWinXPHome(allowWinXPHome),
      m_allowWinServer2k3(allowWinServer2k3) {}

DWORD CVAIsQualified::Execute() {
  WriteLog(L"Checking if platform qualifies for installation");
  DWORD result = Qualify(ReadOsFacts());
  if (result == ERROR_SUCCESS) return ERROR_SUCCESS;
  // No box of its own: the caller's refusal box says it, naming the product.
  SetLastError(ERROR_OLD_WIN_VERSION);
  return kVerifyEndWithLastError;
}

COsFacts CVAIsQualified::ReadOsFacts() {
  COsFacts facts;
  OSVERSIONINFOEXW extended = {};
  extended.dwOSVersionInfoSize = sizeof(extended);
  if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&extended))) {
    facts.servicePackMajor = extended.wServicePackMajor;
    facts.servicePackMinor = extended.wServicePackMinor;
  } else {
    OSVERSIONINFOW plain = {};
    plain.dwOSVersionInfoSize = sizeof(plain);
    if (!GetVersionExW(&plain)) ReportInternalError(kPlatformArea, HRESULT_FROM_WIN32(GetLastError()), nullptr);
    wmemcpy(extended.szCSDVersion, plain.szCSDVersion, 128);
    extended.dwPlatformId = plain.dwPlatformId;
    extended.dwMajorVersion = plain.dwMajorVersion;
    extended.dwMinorVersion = plain.dwMinorVersion;
    facts.servicePackKnown = false;
  }
  facts.platformId = extended.dwPlatformId;
  facts.major = extended.dwMajorVersion;
  facts.minor = extended.dwMinorVersion;
  facts.servicePackText = extended.szCSDVersion;
  if (facts.platformId == VER_PLATFORM_WIN32_NT) {
    facts.wow64 = ReadWow64();
    if (facts.major == 5 && facts.minor == 1) facts.xpHome = IsProductSuitePresent(L"Personal");
    if (facts.major == 5 && facts.minor == 2) facts.server = IsServerProductType();
  }
  return facts;
}

DWORD CVAIsQualified::Qualify(const COsFacts& facts) const {
  if (facts.platformId == VER_PLATFORM_WIN32s) return ERROR_OLD_WIN_VERSION;
  if (facts.platformId == VER_PLATFORM_WIN32_WINDOWS) return MatchPlatforms(L"9X", facts);
  if (facts.platformId != VER_PLATFORM_WIN32_NT) ReportInternalError(kPlatformArea, kUnknownPlatform, nullptr);
  if (IsNo(m_allowWin64)) {
    WriteLog(L"Installation allowed to Win64 = %s", m_allowWin64.c_str());
    if (facts.wow64) {
      WriteLog(L"Win64 detected");
      return ERROR_OLD_WIN_VERSION;
    }
  }
  if (IsNo(m_allowWinXPHome)) {
    WriteLog(L"Installation allowed to Windows XP Home Edition = %s", m_allowWinXPHome.c_str());
    if (facts.major == 5 && facts.minor == 1 && facts.xpHome) {
      WriteLog(L"Windows XP Home Edition detected");
      return ERROR_OLD_WIN_VERSION;
    }
  }
  if (IsNo(m_allowWinServer2k3)) {
    WriteLog(L"Installation allowed to Windows Server 2003 = %s", m_allowWinServer2k3.c_str());
    if (facts.major == 5 && facts.minor == 2 && facts.server) {
      WriteLog(L"Windows Server 2003 detected");
      return ERROR_OLD_WIN_VERSION;
    }
  }
  return MatchPlatforms(L"NT", facts);
}

DWORD CVAIsQualified::MatchPlatforms(const wchar_t* family, const COsFacts& facts) const {
  if (m_platforms.empty()) return ERROR_SUCCESS;
  DWORD servicePackMajor = facts.servicePackMajor;
  DWORD servicePackMinor = facts.servicePackMinor;
  if (!facts.servicePackKnown) ServicePackFromText(facts.servicePackText, &servicePackMajor, &servicePackMinor);
  const long system[4] = {static_cast<long>(facts.major), static_cast<long>(facts.minor),
                          static_cast<long>(servicePackMajor), static_cast<long>(servicePackMinor)};
  std::wstring rest = m_platforms;
  std::wstring entry;
  while (ExtractToken(&rest, &entry, L",", true)) {
    size_t colon = entry.find(L':');
    if (colon == std::wstring::npos || !EqualsNoCase(Trim(entry.substr(0, colon)), family)) continue;
    std::wstring numbers = entry.substr(colon + 1);
    size_t second = numbers.find(L':');
    int wanted[4] = {};
    ReadPair(numbers.substr(0, second), &wanted[0], &wanted[1]);
    if (second != std::wstring::npos) ReadPair(numbers.substr(second + 1), &wanted[2], &wanted[3]);
    for (int part = 0; part < 4; ++part) {
      if (system[part] > wanted[part]) return ERROR_SUCCESS;
      if (system[part] < wanted[part]) {
        WriteLog(L"   This system, %s %d.%d service pack %d.%d, is older than %s, which Platforms requires", family,
                 system[0], system[1], system[2], system[3], Trim(entry).c_str());
        return ERROR_OLD_WIN_VERSION;
      }
    }
    return ERROR_SUCCESS;
  }
  WriteLog(L"   Platforms '%s' names no version of this system's family: %s %d.%d service pack %d.%d", m_platforms.c_str(),
           family, system[0], system[1], system[2], system[3]);
  return ERROR_OLD_WIN_VERSION;
}

bool IsProductSuitePresent(const std::wstring& name) {
  try {
    CRegistryKey key;
    key.Open(HKEY_LOCAL_MACHINE, kProductOptionsKey, KEY_READ, false);
    std::vector<std::wstring> suites;
    key.GetValueMultiSZ(kProductSuiteValue, &suites);
    std::wstring wanted = ToUpper(name);
    for (const std::wstring& suite : suites) {
      if (ToUpper(suite).find(wanted) != std::wstring::npos) return true;
    }
  } catch (const CError&) {
    // No key or no multi-string value: no product suite.
  }
  return false;
}

bool IsServerProductType() {
  CRegistryKey key;
  try {
    key.Open(HKEY_LOCAL_MACHINE, kProductOptionsKey, KEY_READ, false);
  } catch (const CError& error) {
    WriteLog(L"Failed to open registry key: HKLM\\SYSTEM\\CurrentControlSet\\Control\\ProductOptions");
    WriteLog(L"Error code = %08X", error.GetErrorCode());
    return false;
  }
  try {
    std::wstring type = key.GetValueSZ(kProductTypeValue);
    return EqualsNoCase(type, L"ServerNT") || EqualsNoCase(type, L"LanmanNT");
  } catch (const CError& error) {
    WriteLog(L"Failed to query value 'ProductType'. Error code = %08X", error.GetErrorCode());
    return false;
  }
}
