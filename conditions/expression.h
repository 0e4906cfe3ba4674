#pragma once
// expression.h: the nodes of a parsed condition: the common base, and the
// operator nodes for OR, AND, equality, relational comparison and NOT. Each
// evaluates its right operand first, then its left, with no short cut.

#include <memory>

#include "platform/string_map.h"

class CLiteral;

// Root of every node and value.
class CPrimaryExpression {
 public:
  virtual ~CPrimaryExpression() = default;

  // Stores a new value, owned by the caller, in *out. False when anything
  // fails (a missing property, a value of the wrong kind).
  virtual bool Evaluate(std::unique_ptr<CLiteral>* out, const CMapStringToString* properties) = 0;

  // Levels of nodes from this one down to its deepest leaf.
  int GetDepth() const { return m_depth; }

 protected:
  int m_depth = 1;
};

// Base of the operator nodes: the right operand is the only one when the
// left is absent, and the node then passes its operand's value on.
class CExpression : public CPrimaryExpression {
 protected:
  CExpression(std::unique_ptr<CPrimaryExpression> right, std::unique_ptr<CPrimaryExpression> left);

  // AND (isOr false) or OR of both operands as booleans.
  bool EvaluateLogical(std::unique_ptr<CLiteral>* out, const CMapStringToString* properties,
                       bool isOr);
  // Right first, then left.
  bool EvaluateOperands(const CMapStringToString* properties, std::unique_ptr<CLiteral>* right,
                        std::unique_ptr<CLiteral>* left);

  std::unique_ptr<CPrimaryExpression> m_right;  // or the only operand
  std::unique_ptr<CPrimaryExpression> m_left;   // null when there is only one
};

class CLogicalOrExpression : public CExpression {
 public:
  explicit CLogicalOrExpression(std::unique_ptr<CPrimaryExpression> right,
                                std::unique_ptr<CPrimaryExpression> left = nullptr);
  bool Evaluate(std::unique_ptr<CLiteral>* out, const CMapStringToString* properties) override;
};

class CLogicalAndExpression : public CExpression {
 public:
  explicit CLogicalAndExpression(std::unique_ptr<CPrimaryExpression> right,
                                 std::unique_ptr<CPrimaryExpression> left = nullptr);
  bool Evaluate(std::unique_ptr<CLiteral>* out, const CMapStringToString* properties) override;
};

// The right operand's kind decides how the two are compared.
class CEqualityExpression : public CExpression {
 public:
  enum { kEqual = 0, kNotEqual = 1, kNone = 2 };
  CEqualityExpression(int op, std::unique_ptr<CPrimaryExpression> right,
                      std::unique_ptr<CPrimaryExpression> left = nullptr);
  bool Evaluate(std::unique_ptr<CLiteral>* out, const CMapStringToString* properties) override;

 private:
  int m_operator;
};

// The left operand's kind decides how the two are compared.
class CRelationalExpression : public CExpression {
 public:
  enum { kLess = 0, kGreater = 1, kLessOrEqual = 2, kGreaterOrEqual = 3, kNone = 4 };
  CRelationalExpression(int op, std::unique_ptr<CPrimaryExpression> right,
                        std::unique_ptr<CPrimaryExpression> left = nullptr);
  bool Evaluate(std::unique_ptr<CLiteral>* out, const CMapStringToString* properties) override;

 private:
  int m_operator;
};

// NOT: each marker in front toggles the same flag, so NOT NOT x is x itself,
// unconverted.
class CUnaryExpression : public CExpression {
 public:
  explicit CUnaryExpression(std::unique_ptr<CPrimaryExpression> operand);
  void ToggleNegation() { m_negate = !m_negate; }
  bool Evaluate(std::unique_ptr<CLiteral>* out, const CMapStringToString* properties) override;

 private:
  bool m_negate = false;
};
