// product_relation.cpp: checking a requirement against the run's products.
#include "engine/product_relation.h"

#include "engine/feature_list.h"
#include "engine/product_data.h"
#include "engine/setup_state.h"
#include "foundation/text_utils.h"

CProductRelation::CProductRelation(const std::wstring& source, const std::wstring& target,
                                   const std::wstring& minVer, const std::wstring& maxVer,
                                   const std::wstring& targetCusts)
    : CRelation(source, target) {
  std::wstring rest = targetCusts;
  std::wstring item;
  while (ExtractToken(&rest, &item, L",", true) && !item.empty()) m_targetCusts.push_back(item);
  // A bound that is not a version leaves the range empty: any version.
  if (!minVer.empty() || !maxVer.empty()) m_versions.SetBounds(minVer, maxVer);
}

std::unique_ptr<CRelation> CProductRelation::Clone() const {
  return std::unique_ptr<CRelation>(new CProductRelation(*this));
}

CProductData* CProductRelation::FindTarget() const {
  CSetupState* state = GetSetupState();
  return state ? state->m_products.Lookup(GetTarget()) : nullptr;
}

bool CProductRelation::CheckTarget() const {
  CProductData* target = FindTarget();
  if (!target || !target->GetSelection() || !target->GetSelection()->IsCurrent()) return false;
  const CVersionInfo* version = target->GetVersion();
  if (!version) return false;
  if (m_versions.IsUnbounded()) return true;
  // A target of unknown version cannot be shown to be within the bounds.
  return !version->IsEmpty() && m_versions.Contains(*version) > 0;
}

CFeatureRelation::CFeatureRelation(const std::wstring& source, const std::wstring& target,
                                   const std::wstring& featureId, const std::wstring& minVer,
                                   const std::wstring& maxVer, const std::wstring& targetCusts)
    : CProductRelation(source, target, minVer, maxVer, targetCusts), m_featureId(featureId) {}

std::unique_ptr<CRelation> CFeatureRelation::Clone() const {
  return std::unique_ptr<CRelation>(new CFeatureRelation(*this));
}

bool CFeatureRelation::CheckFeature() const {
  CProductData* target = FindTarget();
  if (!target || !target->GetFeatures()) return false;
  const CFeatureData* feature = target->GetFeatures()->FindById(m_featureId);
  return feature && feature->IsSelected();
}
