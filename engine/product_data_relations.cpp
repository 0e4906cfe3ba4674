// product_data_relations.cpp: a product's relations read from the
// configuration, each kept by both products it names.
#include "engine/product_data.h"

#include "engine/product_relation.h"
#include "engine/setup_state.h"
#include "foundation/dcf_names.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kRequireFeaturePrefix[] = L"RequireFeature.";
const wchar_t kRequirePrefix[] = L"Require.";

// A product loaded again must not collect a second copy of a relation.
bool HoldsRelation(const CRelationList& list, const CRelation& relation) {
  for (size_t i = 0; i < list.GetCount(); ++i) {
    const CRelation* held = list[i];
    if (held && held->GetName() == relation.GetName() && held->GetSource() == relation.GetSource() &&
        held->GetTarget() == relation.GetTarget()) {
      return true;
    }
  }
  return false;
}

void AttachTo(CProductData* product, const CRelation& relation) {
  if (!product || !product->GetRelations() || HoldsRelation(*product->GetRelations(), relation)) return;
  product->GetRelations()->Add(relation.Clone());
}

// Only the side the suite has keeps the relation: a product name that is
// misspelt or left out of the product list would otherwise go unnoticed.
void ReportMissingProduct(const CSetupState& state, const std::wstring& owner, const std::wstring& item,
                          const std::wstring& name) {
  if (state.m_products.Lookup(name)) return;
  WriteLog(L"Relationship %s of product %s names product '%s', which is not a product of this suite",
           item.c_str(), owner.c_str(), name.c_str());
}

}  // namespace

bool CProductData::LoadRelationships(const CKwIniFile& file, CSetupState* state) {
  std::wstring items = GetIniValue(file, Format(kSetupSectionFormat, m_name.c_str()), kRelationshipsKey, L"");
  std::wstring item;
  while (ExtractToken(&items, &item, L",", true) && !item.empty()) {
    std::wstring section = Format(kRelationshipSectionFormat, m_name.c_str(), item.c_str());
    std::wstring source = GetIniValue(file, section, kSourceProductKey, L"");
    std::wstring target = GetIniValue(file, section, kTargetProductKey, L"");
    std::unique_ptr<CRelation> relation;
    if (StartsWithNoCase(item, kRequireFeaturePrefix)) {
      relation.reset(new CFeatureRelation(source, target, GetIniValue(file, section, kFeatureIdKey, L""),
                                          GetIniValue(file, section, kMinVerKey, L""),
                                          GetIniValue(file, section, kMaxVerKey, L""),
                                          GetIniValue(file, section, kTargetCustsKey, L"")));
    } else if (StartsWithNoCase(item, kRequirePrefix)) {
      relation.reset(new CProductRelation(source, target, GetIniValue(file, section, kMinVerKey, L""),
                                          GetIniValue(file, section, kMaxVerKey, L""),
                                          GetIniValue(file, section, kTargetCustsKey, L"")));
    } else {
      continue;
    }
    relation->SetSetupState(state);
    relation->SetName(item);
    if (!state) continue;
    ReportMissingProduct(*state, m_name, item, source);
    ReportMissingProduct(*state, m_name, item, target);
    AttachTo(state->m_products.Lookup(source), *relation);
    AttachTo(state->m_products.Lookup(target), *relation);
  }
  return true;
}
