// grammar.cpp: reads productions from the grammar text and builds the
// augmented grammar with its productions grouped by left-hand symbol.
#include "conditions/grammar.h"

#include "conditions/lexer.h"

bool tProductionTable::Read(std::istream& grammar, int terminalCount, int nonterminalCount) {
  m_productions.clear();
  int symbolCount = terminalCount + nonterminalCount;
  int count = 0;
  if (!(grammar >> count) || count <= 0) return false;
  for (int i = 0; i < count; ++i) {
    auto production = std::make_unique<tProduction>();
    int rhsCount = 0;
    if (!(grammar >> production->index >> production->lhs >> rhsCount)) return false;
    // Reduce entries and actions name productions by index: it must be the position.
    if (production->index != i || rhsCount < 0) return false;
    if (production->lhs < terminalCount || production->lhs >= symbolCount) return false;
    for (int k = 0; k < rhsCount; ++k) {
      int symbol = 0;
      if (!(grammar >> symbol) || symbol < 0 || symbol >= symbolCount) return false;
      production->rhs.push_back(symbol);
    }
    m_productions.push_back(std::move(production));
  }
  return true;
}

tGrammar::tGrammar(const tProductionTable& table, int terminalCount, int nonterminalCount)
    : m_terminalCount(terminalCount),
      m_nonterminalCount(nonterminalCount),
      m_startSymbol(table.GetCount() ? table.Get(0)->lhs : terminalCount) {
  for (size_t i = 0; i < table.GetCount(); ++i) Append(table.Get(i));
}

tAugmentedGrammar::tAugmentedGrammar(const tProductionTable& table, int terminalCount,
                                     int nonterminalCount)
    : tGrammar(table, terminalCount, nonterminalCount) {
  m_startProduction.index = kEndSymbol;
  m_startProduction.lhs = terminalCount + nonterminalCount;
  m_startProduction.rhs.push_back(m_startSymbol);
  m_items.push_front(&m_startProduction);
  m_startSymbol = m_startProduction.lhs;
  ++m_nonterminalCount;
  m_byLhs.resize(static_cast<size_t>(m_nonterminalCount));
  for (size_t i = 0; i < GetCount(); ++i) {
    m_byLhs[static_cast<size_t>((*this)[i]->lhs - m_terminalCount)].push_back(i);
  }
}

const std::vector<size_t>& tAugmentedGrammar::GetProductionsOf(int nonterminal) const {
  static const std::vector<size_t> kNone;
  if (!IsNonterminal(nonterminal)) return kNone;
  return m_byLhs[static_cast<size_t>(nonterminal - m_terminalCount)];
}
