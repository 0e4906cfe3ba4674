#pragma once
// variable.h: {NAME} in a condition: one of the nine built-in variables,
// computed from the system facts at each evaluation, or a property.

#include <memory>
#include <string>

#include "conditions/expression.h"
#include "conditions/system_facts.h"

class CVariable : public CPrimaryExpression {
 public:
  // `index` is the name's position in the VARIABLES table: 0..8 are the
  // built-ins, whatever the name's case elsewhere.
  CVariable(std::wstring name, int index, const ISystemFacts* facts);

  bool Evaluate(std::unique_ptr<CLiteral>* out, const CMapStringToString* properties) override;

  // Built-in name for 0..8, else null.
  static const wchar_t* GetVariableName(int index);

  bool GetOsVersion(float* version) const;
  bool GetServicePack(float* servicePack) const;
  // 0 PRO, 1 HOME, 2 SERVER, 3 MCE.
  bool GetOsSubtype(int* subtype) const;
  bool GetArchitecture(int* bits) const;
  bool GetSystemLanguage(wchar_t* code) const;  // 4 characters
  bool GetSystemLanguageId(int* id) const;
  bool GetUserLanguage(wchar_t* code) const;    // 4 characters
  bool GetUserLanguageId(int* id) const;
  bool GetNeutralLanguageId(int* id) const;
  bool GetPropertyValue(std::wstring* value, const CMapStringToString* properties) const;
  bool IsHomeEdition() const;
  bool IsServer() const;
  bool IsMediaCenter() const;

 private:
  bool EvaluateBuiltIn(std::unique_ptr<CLiteral>* out) const;

  std::wstring m_name;
  int m_index;
  const ISystemFacts* m_facts;
};
