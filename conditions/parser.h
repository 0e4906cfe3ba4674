#pragma once
// parser.h: the LALR(1) parser: per-state action lists computed from a
// grammar at construction, and the shift-reduce driver that runs them over
// the lexer's tokens, building values through one reduce action per
// production.

#include <istream>
#include <memory>
#include <vector>

#include "conditions/containers.h"
#include "conditions/grammar.h"
#include "conditions/lexer.h"

struct tMachineEntry {
  enum { kShift = 1, kReduce = 2, kGoto = 3, kAccept = 4 };
  int symbol = 0;
  int kind = 0;
  int target = 0;  // state for shift and goto, production index for reduce

  bool operator==(const tMachineEntry& other) const {
    return symbol == other.symbol && kind == other.kind && target == other.target;
  }
};

// Builds the left-hand value from the right-hand tokens, given left to right,
// into `result` (whose symbol is already set); false fails the parse. A value
// the action keeps must be cleared from its token: whatever is left in the
// tokens is freed afterwards, also when the action fails or throws.
using tReduceAction = bool (*)(void* context, tToken* const* rhs, tToken* result);
// Deletes the value of a nonterminal's token.
using tValueDeleter = void (*)(tToken* token);

class tParser {
 public:
  tParser(const tProductionTable& productions, int terminalCount, int nonterminalCount,
          std::unique_ptr<tLexer> lexer);
  ~tParser();
  tParser(const tParser&) = delete;
  tParser& operator=(const tParser&) = delete;

  // One action per production index and one deleter per nonterminal (symbol
  // minus the terminal count); either may hold nulls. Refused when there are
  // no tables.
  bool SetActions(std::vector<tReduceAction> actions, std::vector<tValueDeleter> deleters,
                  void* context);

  // The token of the accepted start symbol, holding the root value, or null
  // for a lexical or syntax error. Either way the parser is back in its start
  // state, also when a reduce action throws.
  std::unique_ptr<tToken> Parse(std::istream& stream);
  // Drops everything a parse left on the stacks.
  void Reset();

  size_t GetStateCount() const { return m_entries.size(); }
  const tList<tMachineEntry>& GetEntries(size_t state) const { return m_entries[state]; }
  tLexer* GetLexer() const { return m_lexer.get(); }

 private:
  class tTokenGuard;

  void BuildEntries();
  bool ParseTokens(std::istream& stream, std::unique_ptr<tToken>* accepted);
  const tMachineEntry* FindEntry(int state, int symbol) const;
  bool DoAction(const tMachineEntry& entry, std::istream& stream,
                std::unique_ptr<tToken>* lookahead, std::unique_ptr<tToken>* accepted);
  bool Shift(int target, std::istream& stream, std::unique_ptr<tToken>* lookahead);
  bool Reduce(int production);
  bool Accept(std::unique_ptr<tToken>* lookahead, std::unique_ptr<tToken>* accepted);
  void FreeToken(std::unique_ptr<tToken> token) const;
  bool IsValidState(int state) const {
    return state >= 0 && static_cast<size_t>(state) < m_entries.size();
  }

  const tProductionTable& m_productions;
  int m_terminalCount;
  int m_nonterminalCount;
  std::unique_ptr<tLexer> m_lexer;
  std::vector<tList<tMachineEntry>> m_entries;
  tStack<std::unique_ptr<tToken>> m_values;
  tStack<int> m_states;
  std::vector<tReduceAction> m_actions;
  std::vector<tValueDeleter> m_deleters;
  void* m_context = nullptr;
};
