#pragma once
// parse_engine.h: reads a grammar text (symbol counts, productions, lexer
// section) and builds the parser for it with its reduce actions and value
// deleters. An unreadable text leaves an engine whose every parse fails.

#include <istream>
#include <memory>
#include <vector>

#include "conditions/grammar.h"
#include "conditions/lexer.h"
#include "conditions/parser.h"

class tParseEngine {
 public:
  tParseEngine(std::istream& grammar, std::vector<tReduceAction> actions,
               std::vector<tValueDeleter> deleters, void* context);

  // See tParser::Parse; null when the grammar text was unreadable.
  std::unique_ptr<tToken> Parse(std::istream& stream);
  void Reset();

  // Null when the grammar text was unreadable.
  tParser* GetParser() const { return m_parser.get(); }

 private:
  // Declared first: the parser refers to it and goes first.
  std::unique_ptr<tProductionTable> m_productions;
  std::unique_ptr<tParser> m_parser;
};
