#pragma once
// feature_data.h: one feature of a product as the configuration describes
// it: its place in the feature tree, its own cost, whether it is installed
// and whether the user selected it. Load and RefreshInstalledState are in
// feature_data_load.cpp (Windows Installer); the rest is pure logic.
#include <memory>
#include <string>

#include "engine/selection_state.h"

class CFeatureList;
class CKwIniFile;

class CFeatureData {
 public:
  CFeatureData();
  // A deep copy: the copied children point to the copy as their parent.
  CFeatureData(const CFeatureData& other);
  CFeatureData& operator=(const CFeatureData& other) = delete;
  virtual ~CFeatureData();

  bool HasChildren() const;
  // Selected only when every ancestor is selected too.
  bool IsSelected() const;
  // Own cost plus that of the selected children; 0 when not selected and
  // never below 0.
  double GetSelectedCost() const;
  // Own cost plus that of every child, selected or not; never below 0.
  double GetFullCost() const;
  // Reads FeatureId, ParentId, DisplayName, Display and Cost from the
  // section; the feature starts selected, hidden when Display is below 1.
  void Load(const CKwIniFile& file, const std::wstring& section);
  // Installed := the Windows Installer has it locally; then every child.
  void RefreshInstalledState();
  void Init();
  void CopyFrom(const CFeatureData& other);

  const std::wstring& GetFeatureId() const { return m_featureId; }
  void SetFeatureId(const std::wstring& id) { m_featureId = id; }
  const std::wstring& GetParentId() const { return m_parentId; }
  void SetParentId(const std::wstring& id) { m_parentId = id; }
  const std::wstring& GetProductCode() const { return m_productCode; }
  // This feature's and, below it, every child's.
  void SetProductCode(const std::wstring& code);
  const std::wstring& GetDisplayName() const { return m_displayName; }
  void SetDisplayName(const std::wstring& name) { m_displayName = name; }
  int GetDisplayOrder() const { return m_displayOrder; }
  void SetDisplayOrder(int order) { m_displayOrder = order; }
  double GetCost() const { return m_cost; }
  void SetCost(double cost) { m_cost = cost; }
  bool IsInstalled() const { return m_installed; }
  void SetInstalled(bool installed) { m_installed = installed; }
  CSelectionState& GetSelection() { return m_selection; }
  const CSelectionState& GetSelection() const { return m_selection; }
  CFeatureData* GetParent() const { return m_parent; }
  void SetParent(CFeatureData* parent) { m_parent = parent; }
  CFeatureList& GetChildren() { return *m_children; }
  const CFeatureList& GetChildren() const { return *m_children; }

 private:
  std::wstring m_featureId;
  std::wstring m_parentId;
  std::wstring m_productCode;
  std::wstring m_displayName;
  int m_displayOrder = 0;
  double m_cost = 0.0;
  bool m_installed = false;
  CSelectionState m_selection;
  CFeatureData* m_parent = nullptr;
  std::unique_ptr<CFeatureList> m_children;
};
