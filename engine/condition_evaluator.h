#pragma once
// condition_evaluator.h: CConditionEvaluator, the suite's and the run's
// conditions evaluated against the property map. The suite's condition
// lets the run go on when it cannot be read; any other condition that
// cannot be read is false.
#include <string>

class CExpressionParser;
class CSetupState;

class CConditionEvaluator {
 public:
  enum EResult { kFalse, kTrue, kUnreadable };

  // `parser` may be null (no parser could be built); both must outlive this.
  CConditionEvaluator(CExpressionParser* parser, const CSetupState& state);

  // Empty, no parser or unreadable: true.
  bool EvaluateMpiCondition(const std::wstring& condition);
  // Trimmed; empty is true; no parser or unreadable: false.
  bool EvaluateCondition(const std::wstring& condition);
  // The text as it stands, without logging; kUnreadable also without a parser.
  EResult Evaluate(const std::wstring& condition);
  // Why the condition just evaluated was kUnreadable: where its text stops
  // being readable, or that it was read and could not be evaluated.
  std::wstring DescribeUnreadable(const std::wstring& condition) const;

 private:
  CExpressionParser* m_parser;
  const CSetupState& m_state;
};
