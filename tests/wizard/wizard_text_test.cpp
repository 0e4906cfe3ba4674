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
    EXPECT_EQ(c.question, CancelQuestionId(&state)) << c.type << " " << c.kept;
  }
  EXPECT_EQ(0u, CancelQuestionId(nullptr));
}
