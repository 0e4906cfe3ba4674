// parse_engine.cpp: from grammar text to a ready parser.
#include "conditions/parse_engine.h"

#include <utility>

tParseEngine::tParseEngine(std::istream& grammar, std::vector<tReduceAction> actions,
                           std::vector<tValueDeleter> deleters, void* context) {
  int terminalCount = 0;
  int nonterminalCount = 0;
  if (!(grammar >> terminalCount >> nonterminalCount)) return;
  // Symbols, the augmented start symbol included, stay below the reserved numbers.
  if (terminalCount < 1 || nonterminalCount < 1 || terminalCount > kDummySymbol ||
      nonterminalCount >= kDummySymbol - terminalCount) {
    return;
  }
  auto productions = std::make_unique<tProductionTable>();
  if (!productions->Read(grammar, terminalCount, nonterminalCount)) return;
  auto lexer = std::make_unique<tLexer>(grammar);
  // A lexer without definitions is kept (every parse then fails); one that
  // defines other terminals than the grammar has is not.
  if (lexer->GetDefinitionCount() != 0 &&
      lexer->GetDefinitionCount() != static_cast<size_t>(terminalCount)) {
    return;
  }
  auto parser =
      std::make_unique<tParser>(*productions, terminalCount, nonterminalCount, std::move(lexer));
  if (!parser->SetActions(std::move(actions), std::move(deleters), context)) return;
  m_productions = std::move(productions);
  m_parser = std::move(parser);
}

std::unique_ptr<tToken> tParseEngine::Parse(std::istream& stream) {
  if (!m_parser) return nullptr;
  return m_parser->Parse(stream);
}

void tParseEngine::Reset() {
  if (m_parser) m_parser->Reset();
}
