// system_information.cpp: the machine's description in the log (Windows,
// languages, .NET, MSXML, DirectX, the installer) and the OS properties.
#include "engine/system_information.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/setup_state.h"
#include "foundation/error.h"
#include "foundation/file_identity_set.h"
#include "foundation/file_utils.h"
#include "foundation/file_version.h"
#include "foundation/registry_key.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "foundation/wow64.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kNdpKey[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP";
const wchar_t kNdpV4Key[] = L"SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4";
const wchar_t kVersionValue[] = L"Version";
const wchar_t kOsVersionProperty[] = L"OSVERSION";
const wchar_t kOsBuildProperty[] = L"OSBUILD";
const wchar_t kArchitectureProperty[] = L"ARCHITECTURE";
const wchar_t kOsEditionProperty[] = L"OSEDITION";
const size_t kMaxValueLength = 260;

struct CEdition {
  DWORD productInfo;
  const wchar_t* text;
  const wchar_t* key;
};

const CEdition kEditions[] = {
    {PRODUCT_ULTIMATE, L"Ultimate Edition", L"Ultimate"},
    {PRODUCT_HOME_PREMIUM, L"Home Premium Edition", L"HomePremium"},
    {PRODUCT_HOME_BASIC, L"Home Basic Edition", L"HomeBasic"},
    {PRODUCT_HOME_BASIC_N, L"Home Basic Edition N", L"HomeBasicN"},
    {PRODUCT_ENTERPRISE, L"Enterprise Edition", L"Enterprise"},
    {PRODUCT_BUSINESS, L"Business Edition", L"Business"},
    {PRODUCT_STARTER, L"Starter Edition", L"Starter"},
    {PRODUCT_DATACENTER_SERVER, L"Datacenter Edition", L"Datacenter"},
    {PRODUCT_DATACENTER_SERVER_CORE, L"Datacenter Edition (core installation)", L"DatacenterCore"},
    {PRODUCT_SMALLBUSINESS_SERVER, L"Small Business Server", L"SmallBusiness"},
    {PRODUCT_STANDARD_SERVER, L"Standard Edition", L"Standard"},
    {PRODUCT_STANDARD_SERVER_CORE, L"Standard Edition (core installation)", L"StandardCore"},
    {PRODUCT_WEB_SERVER, L"Web Server Edition", L"WebServer"},
    {PRODUCT_BUSINESS_N, L"Business Edition N", L"BusinessN"},
    {PRODUCT_ENTERPRISE_SERVER_IA64, L"Enterprise Edition for Itanium-based Systems", L"EnterpriseItanium"},
    {PRODUCT_ENTERPRISE_SERVER_CORE, L"Enterprise Edition (core installation)", L"EnterpriseCore"},
    {PRODUCT_CLUSTER_SERVER, L"Cluster Server Edition", L"Cluster"},
    {PRODUCT_ULTIMATE_N, L"Ultimate Edition N", L"UltimateN"},
    {PRODUCT_ENTERPRISE_N, L"Enterprise Edition N", L"EnterpriseN"},
    {PRODUCT_HOME_PREMIUM_N, L"Home Premium Edition N", L"HomePremiumN"},
    {PRODUCT_SMALLBUSINESS_SERVER_PREMIUM, L"Small Business Server Premium Edition", L"SmallBusinessPremium"},
    {PRODUCT_STARTER_N, L"Starter Edition N", L"StarterN"},
    {PRODUCT_PROFESSIONAL_N, L"Professional N", L"ProfessionalN"},
    {PRODUCT_PROFESSIONAL, L"Professional", L"Professional"},
};

std::wstring EditionOfProductInfo(DWORD productInfo, std::wstring* key) {
  for (const CEdition& edition : kEditions) {
    if (edition.productInfo != productInfo) continue;
    *key = edition.key;
    return edition.text;
  }
  return std::wstring();
}

bool Has(WORD mask, WORD suite) { return (mask & suite) != 0; }

// Windows Server 2003 and its relatives share version 5.2.
std::wstring Describe52(const CSystemInformation::COsFacts& facts, std::wstring* key) {
  if (Has(facts.suiteMask, VER_SUITE_WH_SERVER)) return *key = L"HomeServer", L"Windows Home Server ";
  if (facts.productType == VER_NT_WORKSTATION) {
    *key = L"Professional";
    return L"Windows XP Professional x64 Edition ";
  }
  if (Has(facts.suiteMask, VER_SUITE_STORAGE_SERVER)) {
    *key = L"StorageServer";
    return L"Windows Storage Server 2003 ";
  }
  std::wstring name = facts.serverR2 ? L"Windows Server 2003 R2,  " : L"Windows Server 2003, ";
  if (facts.serverR2) *key = L"ServerR2";
  if (Has(facts.suiteMask, VER_SUITE_DATACENTER)) {
    if (facts.serverR2) return name + L"Datacenter Edition";
    *key = facts.itanium ? L"DatacenterItanium" : L"Datacenter";
    return name + (facts.itanium ? L"Datacenter Edition for Itanium-based Systems" : L"Datacenter Edition");
  }
  if (Has(facts.suiteMask, VER_SUITE_ENTERPRISE)) {
    if (facts.serverR2) return name + L"Enterprise Edition";
    *key = facts.itanium ? L"EnterpriseItanium" : L"Enterprise";
    return name + (facts.itanium ? L"Enterprise Edition for Itanium-based Systems" : L"Enterprise Edition");
  }
  if (facts.serverR2) return name + L"Standard Edition";
  if (Has(facts.suiteMask, VER_SUITE_COMPUTE_SERVER)) return *key = L"ComputeCluster", name + L"Compute Cluster Edition";
  if (Has(facts.suiteMask, VER_SUITE_BLADE)) return *key = L"Web", name + L"Web Edition";
  *key = L"Standard";
  return name + L"Standard Edition";
}

std::wstring DescribeName(const CSystemInformation::COsFacts& facts, std::wstring* key) {
  bool workstation = facts.productType == VER_NT_WORKSTATION;
  if (facts.majorVersion >= 6) {
    std::wstring name;
    if (facts.majorVersion == 6 && facts.minorVersion == 0) {
      name = workstation ? L"Windows Vista " : L"Windows Server 2008 ";
    } else if (facts.majorVersion == 6 && facts.minorVersion == 1) {
      name = workstation ? L"Windows 7 " : L"Windows Server 2008 R2 ";
    } else {
      // Newer than the names this program knows: the version says which.
      name = Format(L"Windows %d.%d ", facts.majorVersion, facts.minorVersion);
    }
    return name + EditionOfProductInfo(facts.productInfo, key);
  }
  if (facts.majorVersion == 5 && facts.minorVersion == 2) return Describe52(facts, key);
  if (facts.majorVersion == 5 && facts.minorVersion == 1) {
    bool home = Has(facts.suiteMask, VER_SUITE_PERSONAL);
    *key = home ? L"Home" : L"Professional";
    return home ? L"Windows XP Home Edition" : L"Windows XP Professional";
  }
  if (facts.majorVersion == 5 && facts.minorVersion == 0) {
    if (workstation) return *key = L"Professional", L"Windows 2000 Professional";
    if (Has(facts.suiteMask, VER_SUITE_DATACENTER)) return *key = L"Datacenter", L"Windows 2000 Datacenter Server";
    if (Has(facts.suiteMask, VER_SUITE_ENTERPRISE)) return *key = L"AdvancedServer", L"Windows 2000 Advanced Server";
    return L"Windows 2000 Server";
  }
  return Format(L"Windows %d.%d ", facts.majorVersion, facts.minorVersion);
}

UINT CodePageOfLocale(LCTYPE type) {
  wchar_t text[16] = {};
  if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, 16)) return 0;
  UINT value = 0;
  for (const wchar_t* c = text; *c >= L'0' && *c <= L'9'; ++c) value = value * 10 + (*c - L'0');
  return value;
}

void FindFiles(const std::wstring& folder, const std::wstring& pattern, std::vector<std::wstring>* paths) {
  for (const std::wstring& name : ListFolderEntries(folder, pattern, false)) paths->push_back(folder + L"\\" + name);
}

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH + 1] = {};
  UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  return length && length <= MAX_PATH ? std::wstring(folder, length) : std::wstring();
}

// msxml*.dll of the system folder and of the side-by-side folders that hold it.
std::vector<std::wstring> FindMsxml() {
  std::vector<std::wstring> paths;
  FindFiles(SystemFolder(), L"msxml*.dll", &paths);
  wchar_t windows[MAX_PATH + 1] = {};
  UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  if (!length || length > MAX_PATH) return paths;
  std::wstring sxs = std::wstring(windows, length) + L"\\WinSxS";
  for (const std::wstring& name : ListFolderEntries(sxs, L"*", true)) {
    if (!MatchWildcard(name, L"*msxml*")) continue;
    std::wstring found;
    if (FindFileRecursive(sxs + L"\\" + name, L"msxml*.dll", &found)) paths.push_back(found);
  }
  return paths;
}

}  // namespace

CSystemInformation::COsFacts CSystemInformation::ReadOsFacts() {
  COsFacts facts;
  OSVERSIONINFOEXW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) {
    facts.majorVersion = version.dwMajorVersion;
    facts.minorVersion = version.dwMinorVersion;
    facts.buildNumber = version.dwBuildNumber;
    facts.productType = version.wProductType;
    facts.suiteMask = version.wSuiteMask;
    facts.servicePack = version.szCSDVersion;
    if (version.dwMajorVersion >= 6) {
      GetProductInfo(version.dwMajorVersion, version.dwMinorVersion, version.wServicePackMajor,
                     version.wServicePackMinor, &facts.productInfo);
    }
  }
  SYSTEM_INFO system = {};
  GetNativeSystemInfo(&system);
  facts.itanium = system.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
  facts.serverR2 = GetSystemMetrics(SM_SERVERR2) != 0;
  facts.wow64 = IsWow64() != FALSE;
  return facts;
}

std::wstring CSystemInformation::DescribeOperatingSystem(const COsFacts& facts, std::wstring* editionKey) {
  std::wstring key;
  std::wstring line = L"   Microsoft " + DescribeName(facts, &key);
  if (!facts.servicePack.empty()) line += L" " + facts.servicePack;
  line += Format(L" (build %d)", facts.buildNumber);
  line += facts.wow64 ? L", 64-bit" : L", 32-bit";
  if (editionKey) *editionKey = key;
  return line;
}

UINT CSystemInformation::GetUserAnsiCodePage() { return CodePageOfLocale(LOCALE_IDEFAULTANSICODEPAGE); }
UINT CSystemInformation::GetUserOemCodePage() { return CodePageOfLocale(LOCALE_IDEFAULTCODEPAGE); }

void CSystemInformation::LogSystemInformation(CSetupState* state) {
  COsFacts facts = ReadOsFacts();
  std::wstring edition;
  std::wstring line = DescribeOperatingSystem(facts, &edition);
  if (state) {
    state->SetProperty(kOsVersionProperty, Format(L"%d.%d", facts.majorVersion, facts.minorVersion));
    state->SetProperty(kOsBuildProperty, Format(L"%d", facts.buildNumber));
    state->SetProperty(kArchitectureProperty, facts.wow64 ? L"64" : L"86");
    state->SetProperty(kOsEditionProperty, edition);
  }
  // The rest only describes the machine in the log. Without a log none of it
  // is read: the file versions alone take longer than the program's start.
  if (!IsLoggingEnabled(nullptr)) return;
  WriteLog(L"Operating System Information:");
  WriteLog(L"%s", line.c_str());
  WriteLog(L"   Display Language id: %ld", static_cast<long>(GetUserDefaultUILanguage()));
  WriteLog(L"   System Locale id: %ld", static_cast<long>(GetSystemDefaultLangID()));
  WriteLog(L"   User default ANSI code page: %ld", static_cast<long>(GetUserAnsiCodePage()));
  WriteLog(L"   User default OEM code page: %ld", static_cast<long>(GetUserOemCodePage()));
  LogDotNetVersions();
  CFileIdentitySet listed;
  LogFileVersions(FindMsxml(), L"   MS XML was found on this system:",
                  L"   There were no msxml*.dll files found on this system.", &listed);
  std::vector<std::wstring> directX;
  std::wstring systemFolder = SystemFolder();
  for (const wchar_t* pattern : {L"d3d*9*.dll", L"d3d*10*.dll", L"d3d*11*.dll"}) {
    FindFiles(systemFolder, pattern, &directX);
  }
  LogFileVersions(directX, L"   DirectX was found on this system:",
                  L"   There were no d3dx*.dll files found on this system.", &listed);
  std::vector<std::wstring> msi;
  FindFiles(systemFolder, L"msi.dll", &msi);
  LogFileVersions(msi, L"   MSI was found on this system:", nullptr, &listed);
}

void CSystemInformation::LogDotNetVersions() {
  bool any = false;
  for (const wchar_t* key : {kNdpKey, kNdpV4Key}) {
    std::vector<std::wstring> versions;
    if (!EnumerateRegistrySubkeyValues(key, kVersionValue, L"", 0, &versions)) continue;
    any = true;
    WriteLog(L"   .NET version(s) found:");
    for (const std::wstring& version : versions) WriteLog(L"      %s", version.c_str());
  }
  if (!any) WriteLog(L"   There were no versions of .NET found on this system.");
}

void CSystemInformation::LogFileVersions(const std::vector<std::wstring>& paths, const wchar_t* foundText,
                                         const wchar_t* noneText, CFileIdentitySet* listed) {
  if (paths.empty() && noneText) WriteLog(L"%s", noneText);
  for (const std::wstring& path : paths) {
    CScopedHandle file(SafeCreateFile(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    // One file met again, under another folder's name or through a second
    // pattern that matches it, is listed once.
    if (file.IsValid() && !listed->Add(file.Get(), path)) continue;
    uint16_t version[4] = {};
    ReadFileVersion(file.Get(), path, version);
    WriteLog(L"%s", foundText);
    WriteLog(L"      %s file version: %hu.%hu.%hu.%hu", FileNameOfPath(path).c_str(), version[0], version[1],
             version[2], version[3]);
  }
}

bool CSystemInformation::EnumerateRegistrySubkeyValues(const std::wstring& subkey, const std::wstring& valueName,
                                                       const std::wstring& filter, size_t minimumNameLength,
                                                       std::vector<std::wstring>* found) {
  if (!found) return false;
  // The process's own view first; the 64-bit one only when that lacks the key.
  REGSAM view = KEY_WOW64_32KEY;
  CRegistryKey parent;
  try {
    parent.Open(HKEY_LOCAL_MACHINE, subkey, KEY_READ | view, false);
  } catch (const CError&) {
    if (!IsWow64()) return false;
    view = KEY_WOW64_64KEY;
    try {
      parent.Open(HKEY_LOCAL_MACHINE, subkey, KEY_READ | view, false);
    } catch (const CError&) {
      return false;
    }
  }
  wchar_t name[256];
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = 256;
    if (RegEnumKeyExW(parent.GetHandle(), index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    if (nameLength < minimumNameLength) continue;
    std::wstring path = subkey + L"\\" + name;
    std::wstring value;
    try {
      CRegistryKey child;
      child.Open(HKEY_LOCAL_MACHINE, path, KEY_QUERY_VALUE | view, false);
      value = child.GetValueSZ(valueName);
    } catch (const CError&) {
      continue;  // a subkey without the value is not one of those sought
    }
    if (value.size() > kMaxValueLength) value.resize(kMaxValueLength);
    if (filter.empty()) found->push_back(value);
    else if (_wcsicmp(value.c_str(), filter.c_str()) == 0) found->push_back(path);
  }
  return !found->empty();
}
