#pragma once
// relation_list.h: the relations a product takes part in, as the requiring
// side or the required one; owns them. Pure logic.
#include <memory>
#include <string>
#include <vector>

#include "engine/relation.h"

class CRelationList {
 public:
  CRelationList() = default;
  CRelationList(const CRelationList& other) { CopyFrom(other); }
  CRelationList& operator=(const CRelationList& other);

  // Every relation whose source is the owner (exact name) evaluates true;
  // the copies held for the required side are not asked.
  bool IsSatisfied() const;
  // Takes the other's owner name and appends a clone of each relation.
  void CopyFrom(const CRelationList& other);
  // Also empties the owner name.
  void Clear();
  void Add(std::unique_ptr<CRelation> relation) { m_relations.push_back(std::move(relation)); }

  const std::wstring& GetOwnerName() const { return m_ownerName; }
  void SetOwnerName(const std::wstring& name) { m_ownerName = name; }
  size_t GetCount() const { return m_relations.size(); }
  // May be null: a null entry is copied as null.
  CRelation* operator[](size_t index) const { return m_relations[index].get(); }

 private:
  std::wstring m_ownerName;
  std::vector<std::unique_ptr<CRelation>> m_relations;
};
