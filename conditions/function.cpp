// function.cpp: the function slots of the condition language.
#include "conditions/function.h"

#include "conditions/grammar_text.h"
#include "conditions/literal.h"

CFunction::CFunction(int index, std::wstring argument)
    : m_index(index), m_argument(std::move(argument)) {}

const wchar_t* CFunction::GetFunctionName(int index) {
  if (index < 0 || index >= kFunctionCount) return nullptr;
  return kFunctionNames[index];
}

bool CFunction::Evaluate(std::unique_ptr<CLiteral>* out, const CMapStringToString* properties) {
  if (!out || !properties) return false;
  out->reset();
  bool found = false;
  if (m_index == 0) {
    found = GetMsiProperty(&m_result);
  } else if (m_index == 1) {
    found = GetDcfProperty(&m_result);
  }
  if (!found) return false;
  *out = std::make_unique<CLiteralString>(m_result);
  return true;
}

// What the two functions should yield for their argument is not settled:
// until it is, they fail the condition rather than guess.
bool CFunction::GetMsiProperty(std::wstring*) const { return false; }

bool CFunction::GetDcfProperty(std::wstring*) const { return false; }
