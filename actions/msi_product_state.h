#pragma once
// msi_product_state.h: what the Windows Installer knows of a product on this
// machine: installed or not, its package code, install folder and features.
#include <string>
#include <vector>

// The product's state is "installed" (INSTALLSTATE_DEFAULT).
bool IsProductInstalled(const std::wstring& productCode);
// The installed products of a family: those the installer relates to the
// upgrade code, in its order.
std::vector<std::wstring> InstalledProductsOfFamily(const std::wstring& upgradeCode);
// Installed, and installed from a package with this package code (GUIDs
// compared case-blind). A product that is not installed is not queried.
bool IsSamePackageInstalled(const std::wstring& productCode, const std::wstring& packageCode);
// The installed product's InstallLocation; false when it is not installed
// or the location is empty.
bool GetInstallLocation(const std::wstring& productCode, std::wstring* location);
// True only when the feature is installed locally. Traces the state found.
bool QueryFeatureState(const std::wstring& productCode, const std::wstring& feature);
// The name the trace gives an installer feature state.
std::wstring FeatureStateName(int state);
