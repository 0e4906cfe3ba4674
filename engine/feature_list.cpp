// feature_list.cpp: searching, placing and selecting in a feature tree.
#include "engine/feature_list.h"

#include <algorithm>

#include "platform/wide_string.h"

namespace {

template <class Field>
CFeatureData* FindInTree(const CFeatureList& list, const std::wstring& text, Field field) {
  for (size_t i = 0; i < list.GetCount(); ++i) {
    CFeatureData& feature = list[i];
    if (EqualsNoCase((feature.*field)(), text)) return &feature;
    if (CFeatureData* found = FindInTree(feature.GetChildren(), text, field)) return found;
  }
  return nullptr;
}

template <class Visit>
void ForEachInTree(const CFeatureList& list, Visit visit) {
  for (size_t i = 0; i < list.GetCount(); ++i) {
    visit(list[i]);
    ForEachInTree(list[i].GetChildren(), visit);
  }
}

}  // namespace

CFeatureList::CFeatureList(const CFeatureList& other) { CopyFrom(other); }

CFeatureList& CFeatureList::operator=(const CFeatureList& other) {
  if (&other == this) return *this;
  Clear();
  CopyFrom(other);
  return *this;
}

CFeatureData* CFeatureList::FindById(const std::wstring& featureId) const {
  return FindInTree(*this, featureId, &CFeatureData::GetFeatureId);
}

CFeatureData* CFeatureList::FindByDisplayName(const std::wstring& displayName) const {
  return FindInTree(*this, displayName, &CFeatureData::GetDisplayName);
}

bool CFeatureList::AddFeature(std::unique_ptr<CFeatureData>& feature) {
  if (!feature) return false;
  if (feature->GetParentId().empty()) {
    feature->SetParent(nullptr);
    return InsertByDisplayOrder(std::move(feature));
  }
  CFeatureData* parent = FindById(feature->GetParentId());
  if (!parent) return false;
  feature->SetParent(parent);
  return parent->GetChildren().InsertByDisplayOrder(std::move(feature));
}

bool CFeatureList::InsertByDisplayOrder(std::unique_ptr<CFeatureData> feature) {
  if (!feature) return false;
  int order = feature->GetDisplayOrder();
  auto position = std::find_if(m_features.begin(), m_features.end(),
                               [order](const std::unique_ptr<CFeatureData>& existing) {
                                 return existing->GetDisplayOrder() > order;
                               });
  m_features.insert(position, std::move(feature));
  return true;
}

void CFeatureList::SetSelected(bool selected) {
  ForEachInTree(*this, [selected](CFeatureData& feature) {
    feature.GetSelection().SetCurrent(selected, false);
  });
}

void CFeatureList::RevertSelection() {
  ForEachInTree(*this, [](CFeatureData& feature) { feature.GetSelection().RevertToSaved(); });
}

void CFeatureList::GetSelectedIds(std::vector<std::wstring>* ids) const { CollectIds(true, ids); }

void CFeatureList::GetUnselectedIds(std::vector<std::wstring>* ids) const { CollectIds(false, ids); }

void CFeatureList::CollectIds(bool selected, std::vector<std::wstring>* ids) const {
  ids->clear();
  ForEachInTree(*this, [selected, ids](CFeatureData& feature) {
    if (feature.IsSelected() == selected) ids->push_back(feature.GetFeatureId());
  });
}

void CFeatureList::CopyFrom(const CFeatureList& other) {
  // A copy of the list itself would otherwise grow while it is walked.
  if (&other == this) {
    CFeatureList copy(other);
    CopyFrom(copy);
    return;
  }
  for (const std::unique_ptr<CFeatureData>& feature : other.m_features) {
    m_features.emplace_back(new CFeatureData(*feature));
  }
}
