// wizard_text.cpp: token replacement in the wizard's texts.
#include "wizard/wizard_text.h"

#include <cwchar>
#include <vector>

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

namespace {

// The digits with `thousand` between their groups, sized from the right as
// a locale's LOCALE_SGROUPING says: "3;0" threes throughout, "3;2;0" a
// three then twos, "3" one three and the rest together, "0" or "" none.
std::wstring GroupDigits(const std::wstring& digits, const std::wstring& thousand, const std::wstring& grouping) {
  std::vector<int> sizes;
  for (size_t start = 0; start < grouping.size();) {
    size_t end = grouping.find(L';', start);
    if (end == std::wstring::npos) end = grouping.size();
    sizes.push_back(_wtoi(grouping.substr(start, end - start).c_str()));
    start = end + 1;
  }
  // A final 0 repeats the size before it; without one the digits left after
  // the last size stay together.
  bool repeat = !sizes.empty() && sizes.back() == 0;
  if (repeat) sizes.pop_back();
  std::wstring result;
  size_t end = digits.size();
  int size = 0;
  for (size_t index = 0; end > 0; ++index) {
    if (index < sizes.size()) size = sizes[index];
    else if (!repeat) size = 0;
    if (size <= 0 || static_cast<size_t>(size) >= end) break;
    result.insert(0, thousand + digits.substr(end - size, size));
    end -= size;
  }
  return digits.substr(0, end) + result;
}

}  // namespace

std::wstring FormatDecimal(double value, const std::wstring& separator, const std::wstring& thousand,
                           const std::wstring& grouping) {
  std::wstring text = Format(L"%.2f", value);
  size_t sign = text[0] == L'-' ? 1 : 0;
  size_t point = text.find(L'.');
  if (point == std::wstring::npos) point = text.size();
  std::wstring whole = GroupDigits(text.substr(sign, point - sign), thousand, grouping);
  std::wstring decimals = point < text.size() ? (separator.empty() ? L"." : separator) + text.substr(point + 1) : L"";
  return text.substr(0, sign) + whole + decimals;
}

std::wstring FormatDecimal(double value) {
  auto localeText = [](LCTYPE type, const wchar_t* fallback) {
    wchar_t text[16] = {};
    return GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, 16) ? std::wstring(text) : std::wstring(fallback);
  };
  return FormatDecimal(value, localeText(LOCALE_SDECIMAL, L"."), localeText(LOCALE_STHOUSAND, L""),
                       localeText(LOCALE_SGROUPING, L""));
}

UINT CancelQuestionId(const CSetupState* state, bool selectionChosen) {
  if (!state) return 0;
  LONG type = state->m_setupType;
  if (type == SetupTypeRepair) return IDS_CANCEL_REPAIR_QUESTION;
  bool removal = type == SetupTypeRemove && (!selectionChosen || RemovesWholeSuite(state));
  if (type == SetupTypeCleanSystem || removal) return IDS_CANCEL_REMOVAL_QUESTION;
  return 0;
}
