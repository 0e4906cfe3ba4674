// condition_evaluator.cpp: the suite's condition and the run's other
// conditions, each with its own log lines.
#include "engine/condition_evaluator.h"

#include "conditions/expression_parser.h"
#include "engine/setup_state.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

CConditionEvaluator::CConditionEvaluator(CExpressionParser* parser, const CSetupState& state)
    : m_parser(parser), m_state(state) {}

CConditionEvaluator::EResult CConditionEvaluator::Evaluate(const std::wstring& condition) {
  if (!m_parser) return kUnreadable;
  PropertyMap properties = m_state.CopyProperties();
  bool result = false;
  if (!m_parser->Evaluate(condition.c_str(), &result, &properties)) return kUnreadable;
  return result ? kTrue : kFalse;
}

std::wstring CConditionEvaluator::DescribeUnreadable(const std::wstring& condition) const {
  if (!m_parser) return Format(L"The condition '%s' was not read: no condition parser could be built", condition.c_str());
  size_t stop = m_parser->GetStopPosition();
  if (stop == CExpressionParser::kParsed) {
    return Format(L"The condition '%s' was read but cannot be evaluated: a property it names has no value, or a "
                  L"value is not of the kind its test needs",
                  condition.c_str());
  }
  // The part read ends with the token that did not fit, if any.
  return Format(L"The condition '%s' cannot be read: it stops at character %d ('%s' is read, '%s' is not)",
                condition.c_str(), static_cast<int>(stop), condition.substr(0, stop).c_str(),
                condition.substr(stop).c_str());
}

bool CConditionEvaluator::EvaluateMpiCondition(const std::wstring& condition) {
  if (condition.empty()) {
    WriteLog(L"No condition detected for MPI");
    return true;
  }
  if (!m_parser) {
    WriteLog(L"Expression parser not initialized; cannot evaluate condition for MPI");
    return true;
  }
  EResult result = Evaluate(condition);
  if (result == kUnreadable) {
    WriteLog(L"Failed parsing condition for MPI");
    return true;
  }
  if (result == kTrue) {
    WriteLog(L"Condition for MPI is satisfied");
    return true;
  }
  WriteLog(L"Condition for product is not satisfied");
  return false;
}

bool CConditionEvaluator::EvaluateCondition(const std::wstring& condition) {
  std::wstring text = Trim(condition);
  if (text.empty()) return true;
  if (!m_parser) {
    WriteLog(L"   Invalid expression parser object specified");
    return false;
  }
  EResult result = Evaluate(text);
  if (result == kUnreadable) {
    WriteLog(L"   Failed parsing condition");
    return false;
  }
  WriteLog(L"   Condition '%s' evaluated to %s", text.c_str(), result == kTrue ? L"true" : L"false");
  return result == kTrue;
}
