// wizard_text.cpp: token replacement in the wizard's texts.
#include "wizard/wizard_text.h"

#include "engine/product_data.h"
#include "engine/selection_state.h"
#include "engine/setup_state.h"
#include "foundation/resource_strings.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

std::wstring ReplaceWizardTokens(const std::wstring& text, const std::wstring& productName,
                                 const std::wstring& companyName) {
  std::wstring result = text;
  // The wizard's own names first: their strings may name the product.
  result = ReplaceAll(result, L"[SetupWizard]", LoadResourceString(IDS_SETUP_WIZARD));
  result = ReplaceAll(result, L"[Wizard]", LoadResourceString(IDS_WIZARD));
  result = ReplaceAll(result, L"[Setup]", LoadResourceString(IDS_APP_NAME));
  result = ReplaceAll(result, L"[ProductName]", productName);
  result = ReplaceAll(result, L"_PRODUCT_NAME_", productName);
  result = ReplaceAll(result, L"[CompanyName]", companyName);
  return result;
}

std::wstring ReplaceWizardTokens(const std::wstring& text, const CSetupState* state) {
  if (!state) return ReplaceWizardTokens(text, L"[ProductName]", L"[CompanyName]");
  return ReplaceWizardTokens(text, state->GetProductName(), state->GetCompanyName());
}

std::wstring LoadWizardString(UINT id, const CSetupState* state) {
  return ReplaceWizardTokens(LoadResourceString(id), state);
}

bool RemovesWholeSuite(const CSetupState* state) {
  if (!state || state->m_setupType != SetupTypeRemove) return false;
  for (const auto& entry : state->m_products) {
    const CSelectionState* selection = entry.second ? entry.second->GetSelection() : nullptr;
    if (selection && selection->IsCurrent()) return false;
  }
  return true;
}

std::wstring FormatDecimal(double value, const std::wstring& separator) {
  std::wstring text = Format(L"%.2f", value);
  size_t point = text.find(L'.');
  if (point != std::wstring::npos && !separator.empty()) text.replace(point, 1, separator);
  return text;
}

std::wstring FormatDecimal(double value) {
  wchar_t separator[8] = {};
  if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator, 8)) return FormatDecimal(value, L".");
  return FormatDecimal(value, separator);
}

UINT CancelQuestionId(const CSetupState* state) {
  if (!state) return 0;
  if (state->m_setupType == SetupTypeRepair) return IDS_CANCEL_REPAIR_QUESTION;
  if (state->m_setupType == SetupTypeCleanSystem || RemovesWholeSuite(state)) return IDS_CANCEL_REMOVAL_QUESTION;
  return 0;
}
