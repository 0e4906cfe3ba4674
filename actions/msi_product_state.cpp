// msi_product_state.cpp: installed-product queries through the Windows
// Installer.
#include "actions/msi_product_state.h"

#include <windows.h>
#include <msi.h>

#include "actions/msi_strings.h"
#include "actions/msi_trace.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kPackageCodeProperty[] = L"PackageCode";
const wchar_t kInstallLocationProperty[] = L"InstallLocation";
// A product code in braces and its terminator.
const DWORD kProductCodeLength = 39;

}  // namespace

bool IsProductInstalled(const std::wstring& productCode) {
  return MsiQueryProductStateW(productCode.c_str()) == INSTALLSTATE_DEFAULT;
}

std::vector<std::wstring> InstalledProductsOfFamily(const std::wstring& upgradeCode) {
  std::vector<std::wstring> codes;
  wchar_t code[kProductCodeLength] = {};
  for (DWORD index = 0; MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, index, code) == ERROR_SUCCESS; ++index) {
    if (IsProductInstalled(code)) codes.push_back(code);
  }
  return codes;
}

bool IsSamePackageInstalled(const std::wstring& productCode, const std::wstring& packageCode) {
  if (!IsProductInstalled(productCode)) return false;
  std::wstring installed;
  if (ReadProductInfo(productCode, kPackageCodeProperty, &installed) != ERROR_SUCCESS) {
    MsiTrace(MsiTraceError, L"Failed to get the package code of the installed database.");
    return false;
  }
  return EqualsNoCase(installed, packageCode);
}

bool GetInstallLocation(const std::wstring& productCode, std::wstring* location) {
  location->clear();
  if (!IsProductInstalled(productCode)) return false;
  if (ReadProductInfo(productCode, kInstallLocationProperty, location) != ERROR_SUCCESS) {
    MsiTrace(MsiTraceError, L"Failed to get the install location of the installed database: '%s'.",
             productCode.c_str());
    return false;
  }
  return !location->empty();
}

std::wstring FeatureStateName(int state) {
  switch (state) {
    case INSTALLSTATE_LOCAL:
      return L"local";
    case INSTALLSTATE_ABSENT:
      return L"absent";
    case INSTALLSTATE_ADVERTISED:
      return L"advertised";
    case INSTALLSTATE_SOURCE:
      return L"run from source";
    case INSTALLSTATE_INVALIDARG:
      return L"ERROR: invalid parameter";
    case INSTALLSTATE_UNKNOWN:
      return L"ERROR: unknown product code or feature id";
    case INSTALLSTATE_BADCONFIG:
      return L"ERROR: bad configuration";
    default:
      return Format(L"ERROR: unknown value %d", state);
  }
}

bool QueryFeatureState(const std::wstring& productCode, const std::wstring& feature) {
  if (!IsProductInstalled(productCode)) {
    MsiTrace(MsiTraceInformation, L"Feature '%s' not installed; product '%s' not present",
             feature.c_str(), productCode.c_str());
    return false;
  }
  INSTALLSTATE state = MsiQueryFeatureStateW(productCode.c_str(), feature.c_str());
  MsiTrace(MsiTraceInformation, L"Feature '%s' of product code '%s' state: %s", feature.c_str(),
           productCode.c_str(), FeatureStateName(state).c_str());
  return state == INSTALLSTATE_LOCAL;
}
