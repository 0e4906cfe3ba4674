#pragma once
// msi_package.h: one product package opened read-only, with its language
// transform, for its properties, package code, features and disk cost.
#include <windows.h>
#include <msi.h>

#include <memory>
#include <string>
#include <vector>

#include "actions/msi_feature_list.h"
#include "actions/upgrade_row.h"
#include "foundation/scoped_msi_handle.h"

class CMSIPackage {
 public:
  // An empty transform means "1033.mst" beside the package; a name without
  // a backslash is looked for beside the package; a path is used as given.
  CMSIPackage(const std::wstring& packagePath, const std::wstring& transform);
  CMSIPackage(const CMSIPackage&) = delete;
  CMSIPackage& operator=(const CMSIPackage&) = delete;
  virtual ~CMSIPackage();

  // Opens the database, applies the transform when its file exists, then
  // opens the package and runs the costing actions. A package that the
  // installer refuses to open (another platform) still loads: its costs are
  // 0. False when the database cannot be read or the transform not applied.
  bool LoadPackage();
  // Only the database, with the transform applied: enough for properties
  // and the package code, without the cost of opening the package.
  bool OpenDatabase();
  // Loads, costs and reads the features; false at the first step that fails.
  bool LoadAndCost();
  // True with an empty value when the package has no such property.
  bool GetProperty(const std::wstring& name, std::wstring* value) const;
  // The summary's revision number.
  bool GetPackageCode(std::wstring* packageCode) const;
  // The Upgrade table's rows when the package's sequence runs
  // RemoveExistingProducts (without it, its upgrade removes nothing); none
  // for a package without the table.
  bool GetUpgradeRows(std::vector<CUpgradeRow>* rows) const;
  // The keys of the Feature table, every level; false when it cannot be read.
  bool GetFeatureIds(std::vector<std::wstring>* ids) const;
  // Megabytes the top-level features take with their children, installed
  // locally; 0 when the package was not opened for costing.
  bool GetProductCost(double* cost) const;
  void Close();

  const std::wstring& GetTemplate() const { return m_template; }
  double GetCost() const { return m_productCost; }
  // Null until LoadAndCost has read them.
  const CMSIFeatureList* GetFeatures() const { return m_features.get(); }
  bool IsDatabaseOpen() const { return m_databaseOpen; }
  bool IsPackageOpen() const { return m_packageOpen; }

 private:
  bool ApplyTransform();
  bool RunCostingActions();
  bool LoadFeatures();

  CScopedMsiHandle m_database;
  CScopedMsiHandle m_package;
  std::unique_ptr<CMSIFeatureList> m_features;
  std::wstring m_packagePath;
  std::wstring m_transform;
  std::wstring m_template;
  bool m_databaseOpen = false;
  bool m_packageOpen = false;
  double m_productCost = 0.0;
};
