// worker_products.cpp: the suite's products: the steps that read the product
// and package lists, each product's keys and cached copy, the
// temporary-space check, and the packages opened through the installer.
#include "engine/worker.h"

#include <windows.h>
#include <shlwapi.h>

#include <memory>

#include "actions/command_options.h"
#include "engine/cached_copy.h"
#include "engine/dcf_values.h"
#include "engine/install_group_loader.h"
#include "engine/product_data.h"
#include "engine/product_data_map.h"
#include "engine/setup_host.h"
#include "engine/suite_record.h"
#include "foundation/dcf_names.h"
#include "foundation/file_utils.h"
#include "foundation/kw_ini_file.h"
#include "foundation/kw_ini_file_exception.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_language.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

const DWORD kOutOfTempSpace = 148;
const wchar_t kAllUsersAppDataMacro[] = L"{AllUsersAppData}";

// Free megabytes on the volume of the folder; false when unknown.
bool FreeMegabytes(const std::wstring& folder, double* megabytes) {
  ULARGE_INTEGER available = {};
  if (!GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) return false;
  *megabytes = static_cast<double>(available.QuadPart >> 20);
  return true;
}

}  // namespace

// The product keys, master products first.
bool CWorker::ParseProductList() {
  if (!m_configuration) return false;
  if (!m_productList.Parse(*m_configuration, &m_state->m_products)) return false;
  if (m_productList.HasIndependentProducts()) m_suiteMode = TRUE;
  return true;
}

// Each product's keys, and for a repair or an uninstall its cached copy.
bool CWorker::LoadCachedProductData() {
  std::wstring configurationPath = m_commandLine->ConfigurationPath();
  if (configurationPath.empty() || !FileExists(configurationPath)) return true;
  CKwIniFile configuration;
  try {
    configuration.Init(false);
    configuration.LoadFrom(configurationPath);
  } catch (CKwIniFileException* exception) {
    std::unique_ptr<CKwIniFileException> owned(exception);
    return false;
  }
  bool result = true;
  bool maintenance = Mode() == CCommandOptions::kModeRepair || Mode() == CCommandOptions::kModeUninstall;
  std::vector<std::wstring> folders;
  if (maintenance) folders = CachedProductFolders(configuration);
  // An install over the installed suite keeps what that suite's install
  // recorded of the products it does not install again.
  std::wstring installedCache = maintenance ? std::wstring() : InstalledSuiteCacheFolder(configuration);
  for (const auto& entry : m_state->m_products) {
    CProductData* product = entry.second.get();
    if (!product->LoadFromDcf(configuration, m_state.get())) {
      WriteLog(L"Failed loading cached product data for %s", entry.first.c_str());
      result = false;
    }
    if (maintenance && !LoadCachedProductFile(entry.first, product, folders)) result = false;
    if (!installedCache.empty()) {
      product->LoadInstallRecord(Format(L"%s%s.dcf", installedCache.c_str(), entry.first.c_str()));
    }
    m_state->m_productCodes[entry.first] = product->GetProductCode();
  }
  m_state->m_products.SelectRequiredProducts();
  if (m_state->m_products.GetCount() == 1) {
    CSelectionState* selection = m_state->m_products.begin()->second->GetSelection();
    if (selection) selection->SetCurrent(1, false);
  }
  return result;
}

// Where a repair or an uninstall finds the product files the installed
// suite cached: beside this setup.exe when it is that cached copy; else, as
// for a run from the kit, in the installed suite's cache folder, since the
// kit's configuration need not name the product codes.
std::vector<std::wstring> CWorker::CachedProductFolders(const CKwIniFile& configuration) const {
  std::vector<std::wstring> folders = {m_commandLine->SetupFolder()};
  std::wstring cache = InstalledSuiteCacheFolder(configuration);
  if (!cache.empty() && !EqualsNoCase(cache, folders.front())) folders.push_back(cache);
  return folders;
}

std::wstring CWorker::ConfiguredSuiteId(const CKwIniFile& configuration) {
  std::wstring suite = ReadDcfValue(configuration, kProductGroupDefaultSection, kUuidKey);
  if (suite.empty()) suite = ReadDcfValue(configuration, kProductGroupDefaultSection, kSuiteIdKey);
  return CSuiteRecord::IsWellFormedSuiteId(suite) ? suite : std::wstring();
}

// With its backslash; empty when the configuration names no usable suite id.
std::wstring CWorker::InstalledSuiteCacheFolder(const CKwIniFile& configuration) const {
  std::wstring suite = ConfiguredSuiteId(configuration);
  if (suite.empty()) return std::wstring();
  std::wstring allUsersAppData = m_replacements->Expand(kAllUsersAppDataMacro);
  if (allUsersAppData == kAllUsersAppDataMacro) return std::wstring();
  return CachedCopyFolder(allUsersAppData, suite);
}

// The first product file found wins; false when one exists but cannot be read.
bool CWorker::LoadCachedProductFile(const std::wstring& key, CProductData* product,
                                    const std::vector<std::wstring>& folders) {
  for (size_t i = 0; i < folders.size(); ++i) {
    std::wstring cached = Format(L"%s%s.dcf", folders[i].c_str(), key.c_str());
    if (product->LoadFromDcfFile(cached, m_state.get())) {
      if (i > 0) {
        WriteLog(L"   Product data of %s read from the installed suite's cache '%s'", key.c_str(),
                 cached.c_str());
      }
      return true;
    }
    DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) {
      WriteLog(L"Failed loading cached package data for %s from '%s'; error code = %d", key.c_str(),
               cached.c_str(), error);
      return false;
    }
  }
  return true;
}

// Package and transform paths, costs, and room for the largest product.
bool CWorker::ParseInstallGroupInfo() {
  if (!m_configuration) return false;
  CInstallGroupLoader loader(*m_configuration, *m_replacements, m_productList, *m_state, m_settings,
                             &m_installGroups);
  return loader.Load();
}

bool CWorker::ParseMsiFileList() {
  if (!m_configuration || m_productList.Keys().empty()) return false;
  wchar_t tempBuffer[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, tempBuffer);
  std::wstring tempFolder = tempBuffer;
  double freeSpace = 0.0;
  bool spaceKnown = FreeMegabytes(tempFolder, &freeSpace);
  WriteLog(spaceKnown ? L"Temp Folder Information for: %s size: %.2f" : L"Cannot get disk space: %s size: %.2f",
           tempFolder.c_str(), freeSpace);

  double largestCost = m_productList.ReadPackages(*m_configuration, m_options->GetInstallSource(),
                                                  *m_replacements, &m_state->m_products);
  CheckTemporarySpace(spaceKnown, tempFolder, freeSpace, largestCost);
  return true;
}

void CWorker::CheckTemporarySpace(bool spaceKnown, const std::wstring& tempFolder, double freeSpace,
                                  double largestCost) {
  if (!spaceKnown || freeSpace >= largestCost || m_settings.cleanSystem) return;
  if (Mode() == CCommandOptions::kModeUninstall || Mode() == CCommandOptions::kModeRepair) return;
  WriteLog(L"   Not Enough Temp %s: %.2f For Max Product cost %.2f", tempFolder.c_str(), freeSpace, largestCost);
  if (!IsSilentLevel()) {
    std::wstring text = LoadResourceString(IDS_OUT_OF_DISK_SPACE);
    text = ReplaceAll(text, L"_DRIVE_", tempFolder.substr(0, 2));
    text = ReplaceAll(text, L"_COST_", Format(L"%.2f", largestCost));
    text = ReplaceAll(text, L"_TEMPSPACE_", Format(L"%.2f", freeSpace));
    ShowBox(text, IDS_ERROR_CAPTION, MB_ICONERROR);
  }
  AbortOnError(kOutOfTempSpace, false);
}

// The paths: "{lang}" in the package and transform paths becomes
// the install language. Choosing each product's own language comes with the
// language stage.
void CWorker::FindPackagesAndTransforms() {
  for (const auto& entry : m_state->m_products) FindPackageAndTransform(entry.first, entry.second.get());
}

void CWorker::FindPackageAndTransform(const std::wstring& key, CProductData* product) {
  std::wstring code = m_installLanguage;
  GetLanguageCode(product->GetProductLanguage(), &code);
  std::wstring package = product->GetSourcePackagePath();
  ReplaceLangToken(&package, code);
  product->SetPackagePath(package);
  product->UpdatePackageFolder();
  if (product->GetSourceTransformPath().empty()) return;
  std::wstring transform = product->GetSourceTransformPath();
  ReplaceLangToken(&transform, code);
  ReplaceLangIdToken(&transform, std::to_wstring(product->GetProductLanguage()));
  if (FileExists(transform)) {
    product->SetTransforms(transform);
  } else {
    WriteLog(L"Unable to find transform file '%s' for product %s", transform.c_str(), key.c_str());
  }
}

// Every product's package opened through the installer.
bool CWorker::LoadMsiData() {
  bool result = true;
  for (const auto& entry : m_state->m_products) {
    CProductData* product = entry.second.get();
    if (!product->IsWindowsInstallerPackage()) continue;  // a program: nothing to open
    if (product->LoadFromPackage()) continue;
    WriteLog(L"Failed loading MSI package data for %s", entry.first.c_str());
    result = false;
    if (!IsSilentLevel()) ShowPackageError(product->GetPackagePath());
  }
  RecordProductCodes();
  return result;
}

// A repair or an uninstall acts on each product by its code: one that
// neither the configuration nor a cached product file gives is read from
// the kit's package. A code still unknown stays empty: the list loader
// decides whether the run can go on without it.
void CWorker::ReadMissingProductCodes() {
  for (const auto& entry : m_state->m_products) {
    CProductData* product = entry.second.get();
    if (!product->GetProductCode().empty() || !product->IsWindowsInstallerPackage()) continue;
    FindPackageAndTransform(entry.first, product);
    if (!FileExists(product->GetPackagePath())) {
      WriteLog(L"   The product code of %s is not known, and its package '%s' is not there", entry.first.c_str(),
               product->GetPackagePath().c_str());
    } else if (product->LoadFromPackage() && !product->GetProductCode().empty()) {
      WriteLog(L"   Product code of %s read from its package '%s': %s", entry.first.c_str(),
               product->GetPackagePath().c_str(), product->GetProductCode().c_str());
    } else {
      WriteLog(L"   The product code of %s could not be read from its package '%s'", entry.first.c_str(),
               product->GetPackagePath().c_str());
    }
  }
  RecordProductCodes();
}

// FastInstall opens and costs no package, but a product is still known by
// its code and the version it deploys, read from the package's database
// when the configuration gives none: its references, the replacement of
// an earlier version, its rollback and the registered uninstall need them.
void CWorker::ReadPackageIdentities() {
  for (const auto& entry : m_state->m_products) {
    CProductData* product = entry.second.get();
    if (!product->IsWindowsInstallerPackage() || product->LoadIdentityFromPackage()) continue;
    WriteLog(L"   The product code of %s could not be read from its package '%s'", entry.first.c_str(),
             product->GetPackagePath().c_str());
  }
  RecordProductCodes();
}

// The codes the packages supplied join those the configuration gave.
void CWorker::RecordProductCodes() {
  for (const auto& entry : m_state->m_products) {
    std::wstring& recorded = m_state->m_productCodes[entry.first];
    if (recorded.empty()) recorded = entry.second->GetProductCode();
  }
}

void CWorker::ShowPackageError(const std::wstring& packagePath) {
  std::wstring text;
  if (FileExists(packagePath)) {
    text = ReplaceAll(LoadResourceString(IDS_SOURCE_DATABASE_ERROR), L"[2].", L"\n[2]");
  } else {
    text = ReplaceAll(LoadResourceString(IDS_SOURCE_FILE_NOT_FOUND), L"[2]. ", L"\n[2]\n");
  }
  wchar_t compact[41] = {};
  PathCompactPathExW(compact, packagePath.c_str(), 41, 0);
  text = ReplaceAll(text, L"[2]", compact);
  HWND owner = m_host ? m_host->GetOwnerWindow() : nullptr;
  ShowBox(text, IDS_ERROR_CAPTION, MB_ICONERROR | MB_SETFOREGROUND, owner);
}
