#pragma once
// feature_list.h: an ordered list of features that owns them; a product's
// top-level features, or the children of one feature. Pure logic.
#include <memory>
#include <string>
#include <vector>

#include "engine/feature_data.h"

class CFeatureList {
 public:
  CFeatureList() = default;
  // Copies of each feature, in order.
  CFeatureList(const CFeatureList& other);
  CFeatureList& operator=(const CFeatureList& other);

  // Depth first in list order, case-blind; null when none.
  CFeatureData* FindById(const std::wstring& featureId) const;
  CFeatureData* FindByDisplayName(const std::wstring& displayName) const;
  // A feature without ParentId goes into this list; otherwise under the
  // feature of that id found in this tree. Takes the feature only when it is
  // placed: on false, `feature` still holds it.
  bool AddFeature(std::unique_ptr<CFeatureData>& feature);
  // Before the first feature of a higher display order: features of equal
  // order keep the order in which they came. False for null.
  bool InsertByDisplayOrder(std::unique_ptr<CFeatureData> feature);
  // Every feature of the tree, unless locked.
  void SetSelected(bool selected);
  // Every feature of the tree back to its saved selection.
  void RevertSelection();
  // The ids, in tree order, of the features (not) selected with their
  // ancestors.
  void GetSelectedIds(std::vector<std::wstring>* ids) const;
  void GetUnselectedIds(std::vector<std::wstring>* ids) const;
  void CopyFrom(const CFeatureList& other);
  void Clear() { m_features.clear(); }

  size_t GetCount() const { return m_features.size(); }
  bool IsEmpty() const { return m_features.empty(); }
  CFeatureData& operator[](size_t index) const { return *m_features[index]; }

 private:
  void CollectIds(bool selected, std::vector<std::wstring>* ids) const;

  std::vector<std::unique_ptr<CFeatureData>> m_features;
};
