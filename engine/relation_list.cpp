// relation_list.cpp: copying and checking a product's relations.
#include "engine/relation_list.h"

CRelationList& CRelationList::operator=(const CRelationList& other) {
  if (&other == this) return *this;
  Clear();
  CopyFrom(other);
  return *this;
}

bool CRelationList::IsSatisfied() const {
  for (const std::unique_ptr<CRelation>& relation : m_relations) {
    if (relation && relation->GetSource() == m_ownerName && !relation->Evaluate()) return false;
  }
  return true;
}

void CRelationList::CopyFrom(const CRelationList& other) {
  if (&other == this) {
    CRelationList copy(other);
    CopyFrom(copy);
    return;
  }
  m_ownerName = other.m_ownerName;
  for (const std::unique_ptr<CRelation>& relation : other.m_relations) {
    m_relations.push_back(relation ? relation->Clone() : nullptr);
  }
}

void CRelationList::Clear() {
  m_ownerName.clear();
  m_relations.clear();
}
