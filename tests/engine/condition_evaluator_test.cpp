// condition_evaluator_test.cpp: the suite's condition lets the run go on
// when it cannot be read; every other condition is false then.
#include "engine/condition_evaluator.h"

#include "conditions/expression_parser.h"
#include "conditions/windows_system_facts.h"
#include "engine/setup_state.h"
#include "gtest/gtest.h"

TEST(CConditionEvaluatorTest, SuiteConditionFailsOpenOtherConditionsFailClosed) {
  CWindowsSystemFacts facts;
  CExpressionParser parser(facts);
  CSetupState state;
  state.SetProperty(L"A", L"1");
  state.SetProperty(L"S", L"open");
  CConditionEvaluator evaluator(&parser, state);
  const struct {
    const wchar_t* condition;
    bool suite;  // EvaluateMpiCondition
    bool other;  // EvaluateCondition
  } kCases[] = {
      {L"", true, true},
      {L"   ", true, true},
      {L"  {A} == 1  ", true, true},
      {L"{S} == \"open\"", true, true},
      {L"{A} == 2", false, false},
      {L"NOT ({A} == 1)", false, false},
      {L"{MISSING} == 1", true, false},
      {L"(1 == 1", true, false},
      {L"\"text\"", true, false},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(c.suite, evaluator.EvaluateMpiCondition(c.condition)) << c.condition;
    EXPECT_EQ(c.other, evaluator.EvaluateCondition(c.condition)) << c.condition;
  }

  CConditionEvaluator noParser(nullptr, state);
  EXPECT_TRUE(noParser.EvaluateMpiCondition(L"{A} == 2"));
  EXPECT_FALSE(noParser.EvaluateCondition(L"{A} == 1"));
  EXPECT_TRUE(noParser.EvaluateCondition(L" "));
}
