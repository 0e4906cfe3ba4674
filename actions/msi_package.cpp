// msi_package.cpp: opening a product package for its facts and its cost.
#include "actions/msi_package.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <cstdint>
#include <vector>

#include "actions/msi_internal_ui_guard.h"
#include "actions/msi_strings.h"
#include "actions/msi_trace.h"
#include "foundation/file_utils.h"

namespace {

const UINT kTemplateProperty = 7;
const UINT kRevisionNumberProperty = 9;
const wchar_t kDefaultTransformName[] = L"1033.mst";
const wchar_t kPropertyQuery[] = L"SELECT * FROM `Property` WHERE `Property` = ?";
const wchar_t kFeatureQuery[] = L"SELECT `Feature` FROM `Feature`";
const wchar_t kRootFeatureQuery[] = L"SELECT `Feature` FROM `Feature` WHERE `Feature_Parent` = ''";
const wchar_t* const kCostingActions[] = {L"CostInitialize", L"FileCost", L"CostFinalize",
                                          L"InstallValidate"};
const wchar_t kRemovalActionQuery[] =
    L"SELECT `Action` FROM `InstallExecuteSequence` WHERE `Action` = 'RemoveExistingProducts'";
const wchar_t kUpgradeQuery[] =
    L"SELECT `UpgradeCode`, `VersionMin`, `VersionMax`, `Language`, `Attributes` FROM `Upgrade`";
// The installer counts in 512-byte units.
const double kUnitsPerMegabyte = 2048.0;

// Drive ("C:" or empty) and folder (with its final separator) of a path.
void SplitFolder(const std::wstring& path, std::wstring* drive, std::wstring* folder) {
  size_t start = 0;
  drive->clear();
  if (path.size() >= 2 && path[1] == L':') {
    *drive = path.substr(0, 2);
    start = 2;
  }
  size_t slash = path.find_last_of(L"\\/");
  *folder = slash == std::wstring::npos || slash < start ? std::wstring()
                                                         : path.substr(start, slash + 1 - start);
}

// The installer's own code says why a step failed; the fixed line beside it
// does not.
void TraceInstallerCode(int level, const wchar_t* call, const std::wstring& object, UINT code) {
  MsiTrace(level, L"%s('%s') returned %u", call, object.c_str(), code);
}

}  // namespace

CMSIPackage::CMSIPackage(const std::wstring& packagePath, const std::wstring& transform)
    : m_packagePath(packagePath), m_transform(transform) {}

CMSIPackage::~CMSIPackage() { Close(); }

bool CMSIPackage::LoadPackage() {
  // No installer dialog may come up while the package is read.
  CMsiInternalUIGuard quiet(INSTALLUILEVEL_NONE);
  if (!OpenDatabase()) return false;
  // The package is opened by path: costing sees the package as shipped.
  UINT result = MsiOpenPackageW(m_packagePath.c_str(), m_package.Receive());
  if (result != ERROR_SUCCESS) {
    MsiTrace(MsiTraceWarning, L"Could not Open MSI Package, all costing will report as 0");
    TraceInstallerCode(MsiTraceWarning, L"MsiOpenPackageW", m_packagePath, result);
    return true;
  }
  m_packageOpen = true;
  MsiTrace(MsiTraceInformation, L"Package opened, Preparing Costing");
  if (!RunCostingActions()) {
    Close();
    return false;
  }
  return true;
}

bool CMSIPackage::OpenDatabase() {
  Close();
  if (m_packagePath.empty()) {
    MsiTrace(MsiTraceError, L"Package Name supplied to LoadPackage() is Empty");
    return false;
  }
  // No installer dialog may come up while the package is read.
  CMsiInternalUIGuard quiet(INSTALLUILEVEL_NONE);
  UINT result = MsiOpenDatabaseW(m_packagePath.c_str(), MSIDBOPEN_READONLY, m_database.Receive());
  if (result != ERROR_SUCCESS) {
    MsiTrace(MsiTraceError, L"Could not Open the Database");
    TraceInstallerCode(MsiTraceError, L"MsiOpenDatabaseW", m_packagePath, result);
    Close();
    return false;
  }
  m_databaseOpen = true;
  CScopedMsiHandle summary;
  result = MsiGetSummaryInformationW(m_database.Get(), nullptr, 0, summary.Receive());
  if (result != ERROR_SUCCESS) {
    MsiTrace(MsiTraceError, L"Could not Get Summary Information");
    TraceInstallerCode(MsiTraceError, L"MsiGetSummaryInformationW", m_packagePath, result);
    Close();
    return false;
  }
  result = ReadSummaryString(summary.Get(), kTemplateProperty, &m_template);
  if (result != ERROR_SUCCESS) {
    MsiTrace(MsiTraceError, L"Failed to get template string of the database being installed.");
    TraceInstallerCode(MsiTraceError, L"MsiSummaryInfoGetPropertyW", m_packagePath, result);
    Close();
    return false;
  }
  if (!ApplyTransform()) {
    Close();
    return false;
  }
  return true;
}

bool CMSIPackage::ApplyTransform() {
  std::wstring drive;
  std::wstring folder;
  SplitFolder(m_packagePath, &drive, &folder);
  std::wstring name = m_transform.empty() ? std::wstring(kDefaultTransformName) : m_transform;
  std::wstring path = m_transform.find(L'\\') != std::wstring::npos ? m_transform : drive + folder + name;
  MsiTrace(MsiTraceInformation, L"Loading Transform File: %s", path.c_str());
  if (!FileExists(path)) {
    MsiTrace(MsiTraceWarning, L"Could not find Default transform (%s) in %s%s", name.c_str(),
             drive.c_str(), folder.c_str());
    return true;
  }
  UINT result = MsiDatabaseApplyTransformW(m_database.Get(), path.c_str(), 0);
  if (result != ERROR_SUCCESS) {
    MsiTrace(MsiTraceError, L"Could not apply Transform %s", path.c_str());
    TraceInstallerCode(MsiTraceError, L"MsiDatabaseApplyTransformW", path, result);
    return false;
  }
  MsiTrace(MsiTraceInformation, L"Tranform Applied");
  return true;
}

bool CMSIPackage::RunCostingActions() {
  for (const wchar_t* action : kCostingActions) {
    UINT result = MsiDoActionW(m_package.Get(), action);
    if (result != ERROR_SUCCESS) {
      MsiTrace(MsiTraceError, L"Failed in MsiDoAction() during %s", action);
      TraceInstallerCode(MsiTraceError, L"MsiDoActionW", action, result);
      return false;
    }
  }
  return true;
}

bool CMSIPackage::LoadAndCost() {
  if (!LoadPackage()) {
    MsiTrace(MsiTraceError, L"Failed to Load Package");
    return false;
  }
  if (!GetProductCost(&m_productCost)) {
    MsiTrace(MsiTraceError, L"Costing Failed");
    return false;
  }
  if (!LoadFeatures()) {
    MsiTrace(MsiTraceError, L"Failed to Load Features");
    return false;
  }
  return true;
}

bool CMSIPackage::LoadFeatures() {
  std::unique_ptr<CMSIFeatureList> features(new CMSIFeatureList);
  if (!features->Load(m_database.Get(), m_packageOpen ? m_package.Get() : 0)) return false;
  m_features = std::move(features);
  return true;
}

bool CMSIPackage::GetProperty(const std::wstring& name, std::wstring* value) const {
  value->clear();
  // The name goes in as a parameter: a quote in it cannot change the query.
  CScopedMsiHandle view;
  UINT result = MsiDatabaseOpenViewW(m_database.Get(), kPropertyQuery, view.Receive());
  if (result != ERROR_SUCCESS) {
    MsiTrace(MsiTraceError, L"Failed to Open Database View");
    TraceInstallerCode(MsiTraceError, L"MsiDatabaseOpenViewW", kPropertyQuery, result);
    return false;
  }
  CScopedMsiHandle parameters(MsiCreateRecord(1));
  MsiRecordSetStringW(parameters.Get(), 1, name.c_str());
  result = MsiViewExecute(view.Get(), parameters.Get());
  if (result != ERROR_SUCCESS) {
    MsiTrace(MsiTraceError, L"Failed to Execute Database View");
    TraceInstallerCode(MsiTraceError, L"MsiViewExecute", name, result);
    return false;
  }
  CScopedMsiHandle record;
  UINT fetched = MsiViewFetch(view.Get(), record.Receive());
  if (fetched == ERROR_NO_MORE_ITEMS) {
    MsiTrace(MsiTraceInformation, L"Failed to fetch the DatabaseView for Property %s", name.c_str());
    return true;
  }
  if (fetched != ERROR_SUCCESS || ReadRecordString(record.Get(), 2, value) != ERROR_SUCCESS) {
    MsiTrace(MsiTraceError, L"Failed to Get Record String from Database");
    return false;
  }
  return true;
}

bool CMSIPackage::GetUpgradeRows(std::vector<CUpgradeRow>* rows) const {
  rows->clear();
  if (!m_databaseOpen) return false;
  // A query of a table the package lacks fails: it has nothing to remove.
  CScopedMsiHandle view;
  CScopedMsiHandle record;
  if (MsiDatabaseOpenViewW(m_database.Get(), kRemovalActionQuery, view.Receive()) != ERROR_SUCCESS ||
      MsiViewExecute(view.Get(), 0) != ERROR_SUCCESS || MsiViewFetch(view.Get(), record.Receive()) != ERROR_SUCCESS) {
    return true;
  }
  CScopedMsiHandle upgrades;
  if (MsiDatabaseOpenViewW(m_database.Get(), kUpgradeQuery, upgrades.Receive()) != ERROR_SUCCESS ||
      MsiViewExecute(upgrades.Get(), 0) != ERROR_SUCCESS) {
    return true;
  }
  while (MsiViewFetch(upgrades.Get(), record.Receive()) == ERROR_SUCCESS) {
    CUpgradeRow row;
    ReadRecordString(record.Get(), 1, &row.upgradeCode);
    ReadRecordString(record.Get(), 2, &row.versionMin);
    ReadRecordString(record.Get(), 3, &row.versionMax);
    ReadRecordString(record.Get(), 4, &row.language);
    int attributes = MsiRecordGetInteger(record.Get(), 5);
    row.attributes = attributes == static_cast<int>(MSI_NULL_INTEGER) ? 0 : attributes;
    if (!row.upgradeCode.empty()) rows->push_back(row);
  }
  return true;
}

bool CMSIPackage::GetFeatureIds(std::vector<std::wstring>* ids) const {
  ids->clear();
  CScopedMsiHandle view;
  if (!m_databaseOpen || MsiDatabaseOpenViewW(m_database.Get(), kFeatureQuery, view.Receive()) != ERROR_SUCCESS ||
      MsiViewExecute(view.Get(), 0) != ERROR_SUCCESS) {
    return false;
  }
  CScopedMsiHandle record;
  std::wstring id;
  while (MsiViewFetch(view.Get(), record.Receive()) == ERROR_SUCCESS) {
    if (ReadRecordString(record.Get(), 1, &id) == ERROR_SUCCESS && !id.empty()) ids->push_back(id);
  }
  return true;
}

bool CMSIPackage::GetPackageCode(std::wstring* packageCode) const {
  packageCode->clear();
  CScopedMsiHandle summary;
  if (!m_databaseOpen ||
      MsiGetSummaryInformationW(m_database.Get(), nullptr, 0, summary.Receive()) != ERROR_SUCCESS) {
    MsiTrace(MsiTraceError, L"Could not Get Summary Information");
    return false;
  }
  return ReadSummaryString(summary.Get(), kRevisionNumberProperty, packageCode) == ERROR_SUCCESS;
}

bool CMSIPackage::GetProductCost(double* cost) const {
  if (!cost) {
    MsiTrace(MsiTraceError, L"Invalid Parameter send to GetProductCost()");
    return false;
  }
  *cost = 0.0;
  if (!m_packageOpen) return true;
  std::vector<std::wstring> roots;
  CScopedMsiHandle view;
  if (MsiDatabaseOpenViewW(m_database.Get(), kRootFeatureQuery, view.Receive()) == ERROR_SUCCESS &&
      MsiViewExecute(view.Get(), 0) == ERROR_SUCCESS) {
    CScopedMsiHandle record;
    std::wstring feature;
    while (MsiViewFetch(view.Get(), record.Receive()) == ERROR_SUCCESS) {
      if (ReadRecordString(record.Get(), 1, &feature) == ERROR_SUCCESS) roots.push_back(feature);
    }
  }
  if (roots.empty()) {
    MsiTrace(MsiTraceError, L"No rootFeatures were found during costing");
    return false;
  }
  uint64_t units = 0;
  for (const std::wstring& root : roots) {
    INT featureCost = 0;
    if (MsiGetFeatureCostW(m_package.Get(), root.c_str(), MSICOSTTREE_CHILDREN, INSTALLSTATE_LOCAL,
                           &featureCost) == ERROR_SUCCESS && featureCost > 0) {
      units += static_cast<uint64_t>(featureCost);
    }
  }
  // Megabytes, as every other cost of the run: 512-byte units / 2048.
  *cost = static_cast<double>(units) / kUnitsPerMegabyte;
  return true;
}

void CMSIPackage::Close() {
  if (!m_databaseOpen && !m_packageOpen && !m_database.IsValid() && !m_package.IsValid()) return;
  m_package.Reset();
  m_database.Reset();
  m_packageOpen = false;
  m_databaseOpen = false;
  MsiTrace(MsiTraceVerbose, L"Package Closed");
}
