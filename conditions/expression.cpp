// expression.cpp: evaluation of the operator nodes. A failed comparison is a
// false result, not an error; a value that cannot become a boolean where one
// is needed fails the whole condition.
#include "conditions/expression.h"

#include <algorithm>

#include "conditions/literal.h"

namespace {

bool ToBooleans(const CLiteral& right, const CLiteral& left, bool* rightValue, bool* leftValue) {
  return right.ToBoolean(rightValue) && left.ToBoolean(leftValue);
}

}  // namespace

CExpression::CExpression(std::unique_ptr<CPrimaryExpression> right,
                         std::unique_ptr<CPrimaryExpression> left)
    : m_right(std::move(right)), m_left(std::move(left)) {
  int below = 0;
  if (m_right) below = m_right->GetDepth();
  if (m_left) below = std::max(below, m_left->GetDepth());
  m_depth = below + 1;
}

bool CExpression::EvaluateOperands(const CMapStringToString* properties,
                                   std::unique_ptr<CLiteral>* right,
                                   std::unique_ptr<CLiteral>* left) {
  return m_right->Evaluate(right, properties) && *right && m_left->Evaluate(left, properties) &&
         *left;
}

// AND and OR convert both values, right first; there is no short cut, so a
// missing property fails the condition whichever side it stands on.
bool CExpression::EvaluateLogical(std::unique_ptr<CLiteral>* out,
                                  const CMapStringToString* properties, bool isOr) {
  if (!out || !properties || !m_right) return false;
  out->reset();
  if (!m_left) return m_right->Evaluate(out, properties);
  std::unique_ptr<CLiteral> right;
  std::unique_ptr<CLiteral> left;
  bool rightValue = false;
  bool leftValue = false;
  if (!EvaluateOperands(properties, &right, &left) ||
      !ToBooleans(*right, *left, &rightValue, &leftValue)) {
    return false;
  }
  *out = std::make_unique<CLiteralBoolean>(isOr ? (leftValue || rightValue) : (leftValue && rightValue));
  return true;
}

CLogicalOrExpression::CLogicalOrExpression(std::unique_ptr<CPrimaryExpression> right,
                                           std::unique_ptr<CPrimaryExpression> left)
    : CExpression(std::move(right), std::move(left)) {}

bool CLogicalOrExpression::Evaluate(std::unique_ptr<CLiteral>* out,
                                    const CMapStringToString* properties) {
  return EvaluateLogical(out, properties, true);
}

CLogicalAndExpression::CLogicalAndExpression(std::unique_ptr<CPrimaryExpression> right,
                                             std::unique_ptr<CPrimaryExpression> left)
    : CExpression(std::move(right), std::move(left)) {}

bool CLogicalAndExpression::Evaluate(std::unique_ptr<CLiteral>* out,
                                     const CMapStringToString* properties) {
  return EvaluateLogical(out, properties, false);
}

CEqualityExpression::CEqualityExpression(int op, std::unique_ptr<CPrimaryExpression> right,
                                         std::unique_ptr<CPrimaryExpression> left)
    : CExpression(std::move(right), std::move(left)), m_operator(op) {}

bool CEqualityExpression::Evaluate(std::unique_ptr<CLiteral>* out,
                                   const CMapStringToString* properties) {
  if (!out || !properties || !m_right) return false;
  out->reset();
  if (!m_left) return m_right->Evaluate(out, properties);
  if (m_operator != kEqual && m_operator != kNotEqual) return false;
  std::unique_ptr<CLiteral> right;
  std::unique_ptr<CLiteral> left;
  if (!EvaluateOperands(properties, &right, &left)) return false;
  int order = 0;
  bool value = false;
  if (right->Compare(left.get(), &order)) {
    value = m_operator == kEqual ? order == 0 : order != 0;
  }
  *out = std::make_unique<CLiteralBoolean>(value);
  return true;
}

CRelationalExpression::CRelationalExpression(int op, std::unique_ptr<CPrimaryExpression> right,
                                             std::unique_ptr<CPrimaryExpression> left)
    : CExpression(std::move(right), std::move(left)), m_operator(op) {}

bool CRelationalExpression::Evaluate(std::unique_ptr<CLiteral>* out,
                                     const CMapStringToString* properties) {
  if (!out || !properties || !m_right) return false;
  out->reset();
  if (!m_left) return m_right->Evaluate(out, properties);
  if (m_operator < kLess || m_operator > kGreaterOrEqual) return false;
  std::unique_ptr<CLiteral> right;
  std::unique_ptr<CLiteral> left;
  if (!EvaluateOperands(properties, &right, &left)) return false;
  int order = 0;
  bool value = false;
  if (left->Compare(right.get(), &order)) {
    switch (m_operator) {
      case kLess: value = order < 0; break;
      case kGreater: value = order > 0; break;
      case kLessOrEqual: value = order < 1; break;
      default: value = order >= 0; break;
    }
  }
  *out = std::make_unique<CLiteralBoolean>(value);
  return true;
}

CUnaryExpression::CUnaryExpression(std::unique_ptr<CPrimaryExpression> operand)
    : CExpression(std::move(operand), nullptr) {}

bool CUnaryExpression::Evaluate(std::unique_ptr<CLiteral>* out,
                                const CMapStringToString* properties) {
  if (!out || !properties || !m_right) return false;
  out->reset();
  if (!m_negate) return m_right->Evaluate(out, properties);
  std::unique_ptr<CLiteral> operand;
  bool value = false;
  if (!m_right->Evaluate(&operand, properties) || !operand || !operand->ToBoolean(&value)) {
    return false;
  }
  *out = std::make_unique<CLiteralBoolean>(!value);
  return true;
}
