#pragma once
// product_relation.h: the two kinds of requirement a product can state: on
// another product (optionally within versions) and on one feature of
// another product. Pure logic.
#include <memory>
#include <string>
#include <vector>

#include "engine/relation.h"
#include "engine/version_range.h"

class CFeatureData;
class CProductData;

class CProductRelation : public CRelation {
 public:
  // The customizations are cut at ","; a version text may be empty, which
  // leaves that side of the range open. Both empty: any version.
  CProductRelation(const std::wstring& source, const std::wstring& target, const std::wstring& minVer,
                   const std::wstring& maxVer, const std::wstring& targetCusts);

  bool Evaluate() const override { return CheckTarget(); }
  std::unique_ptr<CRelation> Clone() const override;
  // The target is in the run, selected, and of an accepted version.
  virtual bool CheckTarget() const;

  const std::vector<std::wstring>& GetTargetCustomizations() const { return m_targetCusts; }
  const CVersionRange& GetVersions() const { return m_versions; }

 protected:
  CProductRelation(const CProductRelation& other) = default;
  // Null without a setup state or when the target is not in the map.
  CProductData* FindTarget() const;

 private:
  std::vector<std::wstring> m_targetCusts;
  CVersionRange m_versions;
};

class CFeatureRelation : public CProductRelation {
 public:
  CFeatureRelation(const std::wstring& source, const std::wstring& target, const std::wstring& featureId,
                   const std::wstring& minVer, const std::wstring& maxVer, const std::wstring& targetCusts);

  bool Evaluate() const override { return CProductRelation::Evaluate() && CheckFeature(); }
  std::unique_ptr<CRelation> Clone() const override;
  // The feature is selected together with all its ancestors.
  virtual bool CheckFeature() const;

  const std::wstring& GetFeatureId() const { return m_featureId; }

 protected:
  CFeatureRelation(const CFeatureRelation& other) = default;

 private:
  std::wstring m_featureId;
};
