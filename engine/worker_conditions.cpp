// worker_conditions.cpp: the steps that decide what the machine can take:
// the configuration's schema, the suite's condition, each product's
// searches and condition, the products the command line disables, and
// whether the wizard may offer the promotion.
#include "engine/worker.h"

#include <windows.h>

#include <string>
#include <vector>

#include "actions/command_options.h"
#include "engine/action_list_sources.h"
#include "engine/app_search.h"
#include "engine/condition_evaluator.h"
#include "engine/dcf_values.h"
#include "engine/product_data.h"
#include "engine/version_info.h"
#include "foundation/dcf_names.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kSchemaFoundProperty[] = L"DcfSchemaVersionFound";
const wchar_t kSchemaCheckProperty[] = L"DcfSchemaVersionCheck";
const wchar_t kPromotionConditionProperty[] = L"URLPromotionCondition";
const wchar_t kPromotionAllowedProperty[] = L"URLPromotionAllowed";
const wchar_t kAppSearchPropertyFormat[] = L"%s.AppSearch";
const DWORD kNoProductLeft = 1150;

}  // namespace

CConditionEvaluator CWorker::Conditions() const {
  return CConditionEvaluator(m_expressionParser.get(), *m_state);
}

bool CWorker::EvaluateMpiCondition(const std::wstring& condition) {
  return Conditions().EvaluateMpiCondition(condition);
}

bool CWorker::EvaluateCondition(const std::wstring& condition) {
  return Conditions().EvaluateCondition(condition);
}

// A configuration written for a newer schema than this program reads fails.
bool CWorker::CheckDcfSchemaVersion() {
  std::wstring found;
  if (!m_state->GetProperty(kSchemaFoundProperty, &found)) return true;
  std::wstring supported;
  m_state->GetProperty(kSchemaCheckProperty, &supported);
  CVersionInfo declared;
  CVersionInfo own;
  declared.Parse(found);
  own.Parse(supported);
  return own.Compare(declared) >= 0;
}

int CWorker::EvaluateProductConditions(const std::wstring& key) {
  if (!m_configuration) return 1;
  std::wstring section = Format(kSetupSectionFormat, key.c_str());
  std::wstring search = ReadDcfValue(*m_configuration, section, kAppSearchKey);
  if (!search.empty() && Mode() != CCommandOptions::kModeUninstall && Mode() != CCommandOptions::kModeRepair) {
    std::wstring property = Format(kAppSearchPropertyFormat, key.c_str());
    m_state->SetProperty(property, search);
    if (RunAppSearch(property) != ERROR_SUCCESS) return 0;
  }
  std::wstring condition = ReadDcfValue(*m_configuration, section, kConditionKey);
  if (condition.empty()) {
    WriteLog(L"No condition detected for product %s", key.c_str());
    return 1;
  }
  if (!m_expressionParser) {
    WriteLog(L"Expression parser not initialized; cannot evaluate condition for product %s", key.c_str());
    return 1;
  }
  CConditionEvaluator conditions = Conditions();
  CConditionEvaluator::EResult result = conditions.Evaluate(condition);
  if (result == CConditionEvaluator::kUnreadable) {
    WriteLog(L"Failed parsing condition for product %s", key.c_str());
    WriteLog(L"   %s; it counts as true for product %s", conditions.DescribeUnreadable(condition).c_str(),
             key.c_str());
    return 1;
  }
  if (result == CConditionEvaluator::kTrue) {
    WriteLog(L"Condition for product %s satisfied", key.c_str());
    return 1;
  }
  WriteLog(L"Condition for product %s not satisfied; removing", key.c_str());
  CProductData* product = m_state->m_products.Lookup(key);
  if (product && ReadDcfValue(*m_configuration, section, kSilentConditionKey, L"0") == L"0") {
    m_productList.UncountGroup(product->GetProductGroup());
  }
  return 0;
}

DWORD CWorker::RunAppSearch(const std::wstring& property) {
  CAppSearch search(*m_state, [this](const std::wstring& text) { return ExpandMacros(text); });
  return search.Run(property);
}

void CWorker::SetSearchResultProperty(const std::wstring& name, const std::wstring& value,
                                      const std::wstring& fallback) {
  CAppSearch(*m_state, nullptr).SetSearchResultProperty(name, value, fallback);
}

// The products the command line names, each with the products that
// require it.
void CWorker::DisableProducts() {
  for (const std::wstring& key : m_settings.disabledProducts) DisableProduct(key, !m_settings.mandatoryIgnored);
}

void CWorker::EvaluateURLPromotion() {
  // Conditions choose what to install: a repair or an uninstall acts on
  // what the suite has installed, whatever the machine looks like now.
  bool maintenance = Mode() == CCommandOptions::kModeRepair || Mode() == CCommandOptions::kModeUninstall;
  if (maintenance) WriteLog(L"Product conditions are not evaluated for a repair or an uninstall");
  // A copy: disabling a product takes it, and those that require it, out
  // of the list being walked.
  std::vector<std::wstring> keys = maintenance ? std::vector<std::wstring>() : m_productList.Keys();
  for (const std::wstring& key : keys) {
    if (!m_productList.Contains(key) || EvaluateProductConditions(key)) continue;
    if (m_settings.perProductPlatforms) {
      DisableProduct(key, false);
      continue;
    }
    // Without per-product platforms the suite installs whole or not at all.
    for (const std::wstring& other : keys) m_productList.Remove(other);
    break;
  }
  if (m_productList.Keys().empty()) {
    WriteLog(L"No product of the suite can be installed on this system");
    if (!IsSilentLevel()) {
      ShowBox(LoadResourceString(IDS_CONFIGURATION_NOT_SUPPORTED), IDS_ERROR_CAPTION,
              MB_ICONERROR | MB_SETFOREGROUND);
    }
    throw static_cast<unsigned long>(kNoProductLeft);
  }

  WriteLog(L"Evaluating condition for URLPromotion");
  if (UiLevel() >= CCommandOptions::kUILevelBasicNoDialogs) {
    WriteLog(L"   Running in /qb- or lower, turning off URLPromotion");
    m_state->SetProperty(kPromotionAllowedProperty, L"false");
    return;
  }
  std::wstring condition;
  m_state->GetProperty(kPromotionConditionProperty, &condition);
  const wchar_t* allowed = EvaluateCondition(condition) ? L"true" : L"false";
  m_state->SetProperty(kPromotionAllowedProperty, allowed);
  WriteLog(L"   The condition '%s' evaluated to: %s", condition.c_str(), allowed);
}

std::wstring CWorker::GetProductName(const std::wstring& key) { return MakeListSources().ProductName(key); }
