// grammar_text.cpp: the condition grammar's tables and their serialisation
// as one line of decimal numbers and names separated by single blanks.
#include "conditions/grammar_text.h"

#include <vector>

namespace {

struct CProductionRow {
  int lhs;
  std::vector<int> rhs;
};

// Index = position. Symbols: terminals 0..21 in the order of kTerminals,
// nonterminals 22 condition, 23 or, 24 and, 25 equality, 26 relational,
// 27 unary, 28 primary, 29 literal, 30 not-marker, 31 function call.
const CProductionRow kProductions[kConditionProductionCount] = {
    {22, {23}},                  // condition := or
    {23, {24}},        {23, {23, 0, 24}},  // or := and | or OR and
    {24, {25}},        {24, {24, 1, 25}},  // and := equality | and AND equality
    {25, {26}},        {25, {25, 2, 26}}, {25, {25, 3, 26}},
    {26, {27}},        {26, {26, 4, 27}}, {26, {26, 5, 27}}, {26, {26, 6, 27}}, {26, {26, 7, 27}},
    {27, {28}},        {27, {30, 27}},     // unary := primary | NOT unary
    {28, {29}},        {28, {10, 20, 11}}, {28, {31}}, {28, {8, 22, 9}},
    {31, {21, 12, 29, 13}},                // function call := name [ literal ]
    {30, {14}},                            // not-marker := NOT
    {29, {16}},        {29, {15}},         {29, {17}}, {29, {18}}, {29, {19}},
};

// Tried in this order by the lexer: the first match wins.
const wchar_t* const kTerminals[kConditionTerminalCount] = {
    L"\"OR\"", L"\"AND\"", L"\"==\"", L"\"!=\"", L"\"<<\"", L"\">>\"", L"\"<=\"", L"\">=\"",
    L"'('",    L"')'",     L"'{'",    L"'}'",    L"'['",    L"']'",    L"\"NOT\"", L"double",
    L"integer", L"\"TRUE\"", L"\"FALSE\"", L"string", L"symbol:VARIABLES", L"symbol:FUNCTIONS",
};

const wchar_t* const kTableNames[] = {L"VARIABLES", L"FUNCTIONS"};

}  // namespace

const wchar_t* const kBuiltInVariableNames[kBuiltInVariableCount] = {
    L"OSVERSION", L"OSSERVICEPACK", L"OSSUBTYPE", L"ARCHITECTURE", L"SYSLANG",
    L"SYSLANGID", L"USERLANG",      L"USERLANGID", L"NEUTRALLANGID",
};

const wchar_t* const kFunctionNames[kFunctionCount] = {L"MSIPROP", L"DCFPROP"};

bool WriteGrammarText(std::wstring* out) {
  if (!out) return false;
  std::wstring text;
  auto add = [&text](const std::wstring& item) {
    if (!text.empty()) text += L' ';
    text += item;
  };
  add(std::to_wstring(kConditionTerminalCount));
  add(std::to_wstring(kConditionNonterminalCount));
  add(std::to_wstring(kConditionProductionCount));
  for (int i = 0; i < kConditionProductionCount; ++i) {
    add(std::to_wstring(i));
    add(std::to_wstring(kProductions[i].lhs));
    add(std::to_wstring(kProductions[i].rhs.size()));
    for (int symbol : kProductions[i].rhs) add(std::to_wstring(symbol));
  }
  add(std::to_wstring(kConditionTerminalCount));
  add(std::to_wstring(sizeof(kTableNames) / sizeof(kTableNames[0])));
  for (const wchar_t* name : kTableNames) add(name);
  for (const wchar_t* terminal : kTerminals) add(terminal);
  add(std::to_wstring(kBuiltInVariableCount));
  for (const wchar_t* name : kBuiltInVariableNames) add(name);
  add(std::to_wstring(kFunctionCount));
  for (const wchar_t* name : kFunctionNames) add(name);
  *out = text;
  return true;
}
