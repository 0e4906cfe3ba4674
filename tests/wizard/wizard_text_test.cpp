// wizard_text_test.cpp: the wizard's numbers in the user's writing, and the
// cancel question that names the run's own kind.
#include "wizard/wizard_text.h"

#include <memory>

#include "engine/product_data.h"
#include "engine/selection_state.h"
#include "engine/setup_state.h"
#include "gtest/gtest.h"
#include "resources/resource_ids.h"

TEST(CWizardTextTest, DecimalsTakeTheSeparatorGiven) {
  const struct {
    double value;
    const wchar_t* separator;
    const wchar_t* text;
  } kCases[] = {
      {2.5, L",", L"2,50"}, {35824, L",", L"35824,00"}, {0.004, L".", L"0.00"},
      {1.5, L"\u066B", L"1\u066B50"}, {3.25, L"", L"3.25"},
  };
  for (const auto& c : kCases) EXPECT_EQ(c.text, FormatDecimal(c.value, c.separator)) << c.value;
}

// Groups as LOCALE_SGROUPING gives them: a final 0 repeats the last size.
TEST(CWizardTextTest, WholePartIsGroupedAsTheLocaleSays) {
  EXPECT_EQ(L"59,363.00", FormatDecimal(59363, L".", L",", L"3;0"));
  EXPECT_EQ(L"1\u00A0234\u00A0567,89", FormatDecimal(1234567.891, L",", L"\u00A0", L"3;0"));
  EXPECT_EQ(L"12,34,56,789.00", FormatDecimal(123456789, L".", L",", L"3;2;0"));
  EXPECT_EQ(L"123456,789.00", FormatDecimal(123456789, L".", L",", L"3"));
  EXPECT_EQ(L"-1,234.50", FormatDecimal(-1234.5, L".", L",", L"3;0"));
  EXPECT_EQ(L"999.00", FormatDecimal(999, L".", L",", L"3;0"));
  EXPECT_EQ(L"1234.00", FormatDecimal(1234, L".", L",", L"0"));
}

// A removal that keeps a product speaks of installing, as its pages do.
TEST(CWizardTextTest, CancelQuestionNamesTheRunsKind) {
  CSetupState state;
  auto product = std::make_unique<CProductData>(L"Editor");
  CSelectionState* selection = product->GetSelection();
  state.m_products.SetAt(L"Editor", std::move(product));
  const struct {
    LONG type;
    bool kept;
    UINT question;
  } kCases[] = {
      {SetupTypeComplete, true, 0},   {SetupTypeCustom, false, 0},
      {SetupTypeRepair, false, IDS_CANCEL_REPAIR_QUESTION}, {SetupTypeRemove, false, IDS_CANCEL_REMOVAL_QUESTION},
      {SetupTypeRemove, true, 0},     {SetupTypeCleanSystem, true, IDS_CANCEL_REMOVAL_QUESTION},
  };
  for (const auto& c : kCases) {
    state.m_setupType = c.type;
    selection->SetCurrent(c.kept, true);
    EXPECT_EQ(c.question, CancelQuestionId(&state, true)) << c.type << " " << c.kept;
  }
  // Only the Customize page keeps products: before it a removal is the whole suite's.
  state.m_setupType = SetupTypeRemove;
  EXPECT_EQ(IDS_CANCEL_REMOVAL_QUESTION, CancelQuestionId(&state, false));
  EXPECT_EQ(0u, CancelQuestionId(nullptr, true));
}
