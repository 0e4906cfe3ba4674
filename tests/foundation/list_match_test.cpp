// list_match_test.cpp: values against ";" lists, plain and excluding.
#include "foundation/list_match.h"

#include "gtest/gtest.h"
#include "platform/wide_string.h"

TEST(ListMatchTest, MatchSemicolonListFollowsTheListRules) {
  const struct {
    const wchar_t* value;
    const wchar_t* list;
    BOOL matches;
  } kCases[] = {
      {L"ENU", L"ENU;DEU", TRUE},
      {L"ENU", L"~ENU;DEU", FALSE},
      {L"ENU", L"", TRUE},
      {L"ENU", L"   ", TRUE},
      {L"ENU", L"deu;enu", TRUE},
      {L"FRA", L"ENU;DEU", FALSE},
      {L"FRA", L"~ENU;DEU", TRUE},
      {L"ENU", L" ENU ; DEU ", TRUE},
      {L"ENU", L"\"ENU\";DEU", TRUE},      // quotes are stripped
      {L"EN", L"ENU;DEU", FALSE},          // whole entries only
      {L"ENU;DEU", L"ENU;DEU", FALSE},
      {L"", L"ENU;DEU", FALSE},
      {L"", L"~ENU;DEU", FALSE},           // an empty value matches nothing, negated or not
      {L"", L"", TRUE},                    // but an empty list takes everything
      {L"ENU", L"~", TRUE},                // excludes nothing
      {L"ENU", L";;ENU;", TRUE},
      {L"DEU", L"ENU;;DEU", TRUE},
      {L"ENU", L"~ DEU ; ENU", FALSE},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(c.matches, MatchSemicolonList(c.value, c.list))
        << WideToUtf8(c.value) << " in " << WideToUtf8(c.list);
  }
}
