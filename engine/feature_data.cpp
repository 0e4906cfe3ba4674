// feature_data.cpp: a feature's place in the tree, its costs and selection.
#include "engine/feature_data.h"

#include "engine/feature_list.h"

CFeatureData::CFeatureData() { Init(); }

CFeatureData::CFeatureData(const CFeatureData& other) : m_children(new CFeatureList) {
  CopyFrom(other);
}

CFeatureData::~CFeatureData() = default;

bool CFeatureData::HasChildren() const { return m_children && !m_children->IsEmpty(); }

bool CFeatureData::IsSelected() const {
  if (!m_selection.IsCurrent()) return false;
  return !m_parent || m_parent->IsSelected();
}

double CFeatureData::GetSelectedCost() const {
  if (!IsSelected()) return 0.0;
  double total = m_cost;
  for (size_t i = 0; i < m_children->GetCount(); ++i) total += (*m_children)[i].GetSelectedCost();
  return total > 0.0 ? total : 0.0;
}

double CFeatureData::GetFullCost() const {
  double total = m_cost;
  for (size_t i = 0; i < m_children->GetCount(); ++i) total += (*m_children)[i].GetFullCost();
  return total > 0.0 ? total : 0.0;
}

void CFeatureData::Init() {
  m_featureId.clear();
  m_parentId.clear();
  m_productCode.clear();
  m_displayName.clear();
  m_displayOrder = 0;
  m_cost = 0.0;
  m_installed = false;
  m_selection.Reset();
  m_children.reset(new CFeatureList);
  m_parent = nullptr;
}

void CFeatureData::CopyFrom(const CFeatureData& other) {
  if (&other == this) return;
  m_featureId = other.m_featureId;
  m_parentId = other.m_parentId;
  m_productCode = other.m_productCode;
  m_displayName = other.m_displayName;
  m_displayOrder = other.m_displayOrder;
  m_cost = other.m_cost;
  m_installed = other.m_installed;
  m_parent = other.m_parent;
  m_selection = other.m_selection;
  std::unique_ptr<CFeatureList> children(new CFeatureList(*other.m_children));
  // A copied tree never points into the tree it was copied from.
  for (size_t i = 0; i < children->GetCount(); ++i) (*children)[i].SetParent(this);
  m_children = std::move(children);
}

void CFeatureData::SetProductCode(const std::wstring& code) {
  m_productCode = code;
  for (size_t i = 0; i < m_children->GetCount(); ++i) (*m_children)[i].SetProductCode(code);
}
