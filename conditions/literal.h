#pragma once
// literal.h: the four kinds of condition values (boolean, float, integer,
// string) with their conversions into one another and their comparison.

#include <memory>
#include <string>

#include "conditions/expression.h"

// Every conversion returns false when the value has no such form; a null out
// pointer only asks whether it has.
class CLiteral : public CPrimaryExpression {
 public:
  virtual bool ToBoolean(bool* out) const = 0;
  virtual bool ToFloat(float* out) const = 0;
  virtual bool ToInteger(int* out) const = 0;
  virtual bool ToString(std::wstring* out) const = 0;
  // Converts `other` to this value's kind and orders the two: -1, 0 or 1.
  virtual bool Compare(const CLiteral* other, int* result) const = 0;

  // A literal's value is a copy of itself.
  bool Evaluate(std::unique_ptr<CLiteral>* out, const CMapStringToString* properties) override;

 protected:
  virtual std::unique_ptr<CLiteral> Clone() const = 0;
};

class CLiteralBoolean : public CLiteral {
 public:
  explicit CLiteralBoolean(bool value) : m_value(value) {}
  bool ToBoolean(bool* out) const override;
  bool ToFloat(float* out) const override;
  bool ToInteger(int* out) const override;
  bool ToString(std::wstring* out) const override;
  bool Compare(const CLiteral* other, int* result) const override;

 protected:
  std::unique_ptr<CLiteral> Clone() const override;

 private:
  bool m_value;
};

class CLiteralFloat : public CLiteral {
 public:
  explicit CLiteralFloat(float value) : m_value(value) {}
  bool ToBoolean(bool* out) const override;
  bool ToFloat(float* out) const override;
  // Truncates toward zero; a value outside the int range has no integer form.
  bool ToInteger(int* out) const override;
  bool ToString(std::wstring* out) const override;
  bool Compare(const CLiteral* other, int* result) const override;

 protected:
  std::unique_ptr<CLiteral> Clone() const override;

 private:
  float m_value;
};

class CLiteralInteger : public CLiteral {
 public:
  explicit CLiteralInteger(int value) : m_value(value) {}
  bool ToBoolean(bool* out) const override;
  bool ToFloat(float* out) const override;
  bool ToInteger(int* out) const override;
  bool ToString(std::wstring* out) const override;
  bool Compare(const CLiteral* other, int* result) const override;

 protected:
  std::unique_ptr<CLiteral> Clone() const override;

 private:
  int m_value;
};

// Booleans are exactly TRUE and FALSE; numbers are read with the lexer's
// scanners, which skip leading blanks and stop at the first other character.
class CLiteralString : public CLiteral {
 public:
  explicit CLiteralString(std::wstring value) : m_value(std::move(value)) {}
  bool ToBoolean(bool* out) const override;
  bool ToFloat(float* out) const override;
  bool ToInteger(int* out) const override;
  bool ToString(std::wstring* out) const override;
  // Ordinal on UTF-16 code units, case-sensitive.
  bool Compare(const CLiteral* other, int* result) const override;

 protected:
  std::unique_ptr<CLiteral> Clone() const override;

 private:
  std::wstring m_value;
};
