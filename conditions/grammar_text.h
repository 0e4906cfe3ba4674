#pragma once
// grammar_text.h: the condition grammar as the program holds it (numeric
// production tables, terminal definitions, built-in names) and its writer,
// whose text the lexer and the parser generator are built from at start-up.

#include <string>

// Symbols of the condition grammar.
constexpr int kConditionTerminalCount = 22;
constexpr int kConditionNonterminalCount = 10;
constexpr int kConditionProductionCount = 26;

// VARIABLES starts with these names, so their indices are 0..8.
constexpr int kBuiltInVariableCount = 9;
extern const wchar_t* const kBuiltInVariableNames[kBuiltInVariableCount];
constexpr int kFunctionCount = 2;
extern const wchar_t* const kFunctionNames[kFunctionCount];

// Writes the grammar text; false for a null target.
bool WriteGrammarText(std::wstring* out);
