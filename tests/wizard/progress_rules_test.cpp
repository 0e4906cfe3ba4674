// progress_rules_test.cpp: the Progress page's decisions: the promotion
// switch, Cancel offered or refused, and the page that ends the wizard.
#include "wizard/progress_rules.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace {

const std::wstring kMissing = L"<missing>";

const std::wstring* Value(const std::wstring& text) { return text == kMissing ? nullptr : &text; }

}  // namespace

TEST(ProgressRulesTest, PromotionIsSwitchedOffByEitherPropertyOnlyWhenBothExist) {
  struct Case {
    std::wstring noOnlineAccess;
    std::wstring promotionAllowed;
    bool off;
  };
  const Case kCases[] = {
      {L"1", L"1", true},          {L"1", L"true", true},     {L"0", L"0", true},
      // The engine's "false" and the page's "0" mean the same, in any case.
      {L"0", L"false", true},      {L"0", L"FALSE", true},    {L"0", L"False", true},
      {L"0", L"1", false},         {L"0", L"true", false},    {L"0", L"", false},
      {L"0", L"00", false},        {L"01", L"1", false},
      // One of the two missing: the switch is not touched.
      {kMissing, L"0", false},     {kMissing, L"false", false}, {L"1", kMissing, false},
      {kMissing, kMissing, false},
  };
  for (const Case& row : kCases) {
    EXPECT_EQ(IsPromotionSwitchedOff(Value(row.noOnlineAccess), Value(row.promotionAllowed)), row.off)
        << "NO_ONLINE_ACCESS=" << std::string(row.noOnlineAccess.begin(), row.noOnlineAccess.end())
        << " URLPromotionAllowed=" << std::string(row.promotionAllowed.begin(), row.promotionAllowed.end());
  }
}

TEST(ProgressRulesTest, CancelFollowsTheRunningActionAndNeverOffersRemovalCancel) {
  struct Case {
    long setupType;
    bool autoConfirm;
    long cancelAllowed;
    bool offered;
    bool refused;
  };
  const Case kCases[] = {
      {0, false, 1, true, false},  {2, false, 1, true, false},  {4, false, 1, true, false},
      {2, false, 0, false, true},  {4, true, 0, false, true},
      // A removal: only the worker's own cancel goes through.
      {5, false, 1, false, true},  {5, true, 1, false, false},  {5, true, 0, false, true},
  };
  for (const Case& row : kCases) {
    EXPECT_EQ(IsCancelOffered(row.setupType, row.cancelAllowed), row.offered)
        << row.setupType << "/" << row.cancelAllowed;
    EXPECT_EQ(IsCancelRefused(row.setupType, row.autoConfirm, row.cancelAllowed), row.refused)
        << row.setupType << "/" << row.autoConfirm << "/" << row.cancelAllowed;
  }
}

// A cancelled run never lands on Finish, which reports success, unless the
// sequence has no user-exit page to say otherwise.
TEST(ProgressRulesTest, CancelledRunEndsOnUserExitAndFinishOnlyWithoutOne) {
  EXPECT_EQ(PageAfterProgress(false, true), kNextInSequence);
  EXPECT_EQ(PageAfterProgress(false, false), kNextInSequence);
  EXPECT_EQ(PageAfterProgress(true, true), kUserExitPage);
  EXPECT_EQ(PageAfterProgress(true, false), kFinishPage);
}

// The installer's action texts as the detail box gets them (labels already
// translated, separators made line breaks).
TEST(ProgressRulesTest, DetailLineShowsOneLineAndProductsByName) {
  const CProductNames kProducts = {{L"{6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C61}", L"Alpha Suite Editor"},
                                   {L"{7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D71}", L""}};
  const struct {
    const wchar_t* text;
    const wchar_t* shown;
  } kCases[] = {
      {L"File: extras.bin\nDirectory: INSTALLDIR\nSize: 1000", L"File: extras.bin"},
      {L"1: {6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C61} ", L"Alpha Suite Editor"},
      {L"1: {6a1f3c20-7b2e-4d51-9c0a-1e2f3a4b5c61} 2: {6A1F3C20-7B2E-4D51-9C0A-1E2F3A4B5C71} 3: C:\\core.bin ",
       L"Alpha Suite Editor"},
      // A product without a name keeps its code; a value may hold blanks.
      {L"1: {7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D71} ", L"{7C2A4E31-8D3F-4E62-AD1B-2F304B5C6D71}"},
      {L"1: C:\\Program Files (x86)\\Tamsa 2: 3", L"C:\\Program Files (x86)\\Tamsa"},
      {L"1:  2: value", L""},
      {L"\r\nSize: 1000", L""},
  };
  for (const auto& row : kCases) {
    EXPECT_EQ(DetailLine(row.text, kProducts), row.shown) << std::string(row.text, row.text + wcslen(row.text));
  }
}
