// removal_data_builder.cpp: the records of the products the remove actions
// find, with the texts the wizard's removal page shows.
#include "engine/removal_data_builder.h"

#include <windows.h>

#include <cwctype>

#include "actions/remove_action.h"
#include "actions/uninstall_entry.h"
#include "engine/install_group_info_map.h"
#include "engine/product_data_map.h"
#include "engine/version_info.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kSuiteList[] = L"*";

bool EndsWithDigit(const std::wstring& text) { return !text.empty() && iswdigit(text.back()); }

}  // namespace

void CRemovalDataBuilder::Build(const std::vector<std::wstring>& productKeys,
                                CProductRemovalDataList* records) const {
  WriteLog(L"Creating item removal data");
  std::vector<std::wstring> targets = {kSuiteList};
  targets.insert(targets.end(), productKeys.begin(), productKeys.end());
  for (const std::wstring& target : targets) {
    CSetupActionList* list = CSetupActionList::Find(m_lists, target);
    if (!list) continue;
    for (const auto& entry : *list) {
      CRemoveAction* action = dynamic_cast<CRemoveAction*>(entry.get());
      if (action) AddRecord(action, records);
    }
  }
  WriteLog(L"Finished creating item removal data; count=%d", static_cast<int>(records->size()));
}

void CRemovalDataBuilder::AddRecord(CRemoveAction* action, CProductRemovalDataList* records) const {
  DWORD result = action->Detect();
  if (result != ERROR_SUCCESS) {
    WriteLog(L"Unable to run detection for action %s; error code = %d", action->GetActionName().c_str(),
             result);
    return;
  }
  if (action->GetDetectionState() != CRemoveAction::kFound) return;
  std::wstring detailA;
  std::wstring detailB;
  if (!ProductTexts(*action, &detailA, &detailB)) {
    WriteLog(L"Unable to get product info for %s, skip to create remove data",
             action->GetKeyName().c_str());
    return;
  }
  std::wstring display = DisplayText(action);
  CProductRemovalData record;
  record.SetActionName(action->GetKeyName().c_str());
  record.SetDetailB(detailB.c_str());
  record.SetDetailA(detailA.c_str());
  record.SetDisplayText(display.c_str());
  record.SetTargetKey(action->GetActionName().c_str());
  record.SetFound(1);
  record.SetLocked(action->GetRefusal() != CRemoveAction::kIgnore ? 1 : 0);
  record.SetShowDetails(action->IsSilent() ? 0 : 1);
  record.SetChecked(1);
  records->push_back(record);
}

// The suite-wide actions describe the suite; the others their product.
bool CRemovalDataBuilder::ProductTexts(const CRemoveAction& action, std::wstring* detailA,
                                       std::wstring* detailB) const {
  if (action.GetKeyName() == kSuiteList) {
    const CInstallGroupInfo* group = m_groups.Lookup(CInstallGroupInfoMap::kDefaultGroup);
    if (group) {
      *detailA = *detailB = group->GetDisplayName();
      return true;
    }
  }
  const CProductData* product = m_products.Lookup(action.GetKeyName());
  if (!product) return false;
  *detailB = product->GetProductName();
  *detailA = *detailB;
  const CVersionInfo* version = product->GetVersion();
  if (!EndsWithDigit(*detailB) && version && version->GetLastPartIndex() != -1) {
    *detailA += L" " + version->ToString();
  }
  return true;
}

std::wstring CRemovalDataBuilder::DisplayText(CRemoveAction* action) {
  std::wstring text = action->GetProductName();
  CVersionInfo installed;
  if (!text.empty() && !EndsWithDigit(text) && !action->GetUninstallKey().empty() &&
      ReadUninstallProductVersion(action->GetUninstallKey(), &installed)) {
    text += Format(L" %d.%d", installed.GetMajor(), installed.GetMinor());
  }
  return text;
}
