// feature_data_load.cpp: a feature read from the configuration, and its
// installed state asked of the Windows Installer.
#include "engine/feature_data.h"

#include "actions/msi_product_state.h"
#include "engine/cost_text.h"
#include "engine/feature_list.h"
#include "foundation/dcf_names.h"
#include "foundation/kw_ini_file.h"
#include "foundation/text_utils.h"

void CFeatureData::Load(const CKwIniFile& file, const std::wstring& section) {
  std::wstring display;
  std::wstring cost;
  file.GetValue(section, kFeatureIdKey, &m_featureId, L"");
  file.GetValue(section, kParentIdKey, &m_parentId, L"");
  file.GetValue(section, kDisplayNameKey, &m_displayName, L"");
  file.GetValue(section, kDisplayKey, &display, L"0");
  file.GetValue(section, kCostKey, &cost, L"0.0");
  // Not a number: the digits before the first other character count.
  StringToInt(display, &m_displayOrder);
  m_cost = CostFromText(cost);
  if (!m_productCode.empty()) RefreshInstalledState();
  m_selection.SetCurrent(true, false);
  m_selection.SetHidden(m_displayOrder < 1);
}

void CFeatureData::RefreshInstalledState() {
  m_installed = QueryFeatureState(m_productCode, m_featureId);
  for (size_t i = 0; i < m_children->GetCount(); ++i) (*m_children)[i].RefreshInstalledState();
}
