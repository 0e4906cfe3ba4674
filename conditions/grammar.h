#pragma once
// grammar.h: a context-free grammar known by symbol numbers only: its
// productions as read from the grammar text, and the augmented grammar the
// parser generator works on.

#include <istream>
#include <memory>
#include <vector>

#include "conditions/containers.h"

struct tProduction {
  int index = 0;
  int lhs = 0;
  std::vector<int> rhs;

  int GetCount() const { return static_cast<int>(rhs.size()); }
};

// The productions in reading order; owns them.
class tProductionTable {
 public:
  // Reads the production count and the productions. False on anything that
  // does not make a grammar over `terminalCount` + `nonterminalCount` symbols.
  bool Read(std::istream& grammar, int terminalCount, int nonterminalCount);

  size_t GetCount() const { return m_productions.size(); }
  const tProduction* Get(size_t index) const { return m_productions[index].get(); }

 private:
  std::vector<std::unique_ptr<tProduction>> m_productions;
};

// Terminals are 0..T-1, nonterminals T..T+N-1; the start symbol is the
// left-hand symbol of the first production.
class tGrammar : public tList<const tProduction*> {
 public:
  tGrammar(const tProductionTable& table, int terminalCount, int nonterminalCount);
  virtual ~tGrammar() = default;

  int GetTerminalCount() const { return m_terminalCount; }
  int GetNonterminalCount() const { return m_nonterminalCount; }
  int GetStartSymbol() const { return m_startSymbol; }
  int GetSymbolCount() const { return m_terminalCount + m_nonterminalCount; }
  bool IsTerminal(int symbol) const { return symbol >= 0 && symbol < m_terminalCount; }
  bool IsNonterminal(int symbol) const {
    return symbol >= m_terminalCount && symbol < GetSymbolCount();
  }

 protected:
  int m_terminalCount;
  int m_nonterminalCount;
  int m_startSymbol;
};

// The grammar with S' -> S in front (production kEndSymbol, left-hand symbol
// T+N), one nonterminal more, and S' as its start symbol.
class tAugmentedGrammar : public tGrammar {
 public:
  tAugmentedGrammar(const tProductionTable& table, int terminalCount, int nonterminalCount);
  // The list points at the member start production.
  tAugmentedGrammar(const tAugmentedGrammar&) = delete;
  tAugmentedGrammar& operator=(const tAugmentedGrammar&) = delete;

  // Productions of a nonterminal, as positions in this list.
  const std::vector<size_t>& GetProductionsOf(int nonterminal) const;

 private:
  tProduction m_startProduction;
  std::vector<std::vector<size_t>> m_byLhs;
};
