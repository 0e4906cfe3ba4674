#pragma once
// function.h: NAME[literal] in a condition. The grammar has MSIPROP and
// DCFPROP, but every identifier lexes as a variable name first, so no
// condition reaches them; their bodies report failure.

#include <memory>
#include <string>

#include "conditions/expression.h"

class CFunction : public CPrimaryExpression {
 public:
  CFunction(int index, std::wstring argument);

  bool Evaluate(std::unique_ptr<CLiteral>* out, const CMapStringToString* properties) override;

  // MSIPROP for 0, DCFPROP for 1, else null.
  static const wchar_t* GetFunctionName(int index);
  bool GetMsiProperty(std::wstring* out) const;
  bool GetDcfProperty(std::wstring* out) const;

 private:
  int m_index;
  std::wstring m_argument;
  std::wstring m_result;
};
