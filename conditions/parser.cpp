// parser.cpp: builds the per-state entry lists from the LALR(1) item sets and
// drives the shift-reduce parse over them.
#include "conditions/parser.h"

#include <utility>

#include "conditions/lr0_collection.h"
#include "conditions/lr1_collection.h"

// Tokens taken off the stacks during a reduction: what the action leaves in
// them is freed through the deleter table when the reduction ends, however
// it ends.
class tParser::tTokenGuard {
 public:
  explicit tTokenGuard(const tParser& parser) : m_parser(parser) {}
  ~tTokenGuard() {
    for (auto& token : m_tokens) m_parser.FreeToken(std::move(token));
  }
  std::vector<std::unique_ptr<tToken>>& Tokens() { return m_tokens; }

 private:
  const tParser& m_parser;
  std::vector<std::unique_ptr<tToken>> m_tokens;
};

tParser::tParser(const tProductionTable& productions, int terminalCount, int nonterminalCount,
                 std::unique_ptr<tLexer> lexer)
    : m_productions(productions),
      m_terminalCount(terminalCount),
      m_nonterminalCount(nonterminalCount),
      m_lexer(std::move(lexer)) {
  BuildEntries();
  m_states.Push(0);
}

tParser::~tParser() { Reset(); }

// Complete items first, then transitions: the lists are searched front to
// back, so a reduce wins over a shift on the same symbol and the first
// complete item over later ones.
void tParser::BuildEntries() {
  tAugmentedGrammar grammar(m_productions, m_terminalCount, m_nonterminalCount);
  tLR0Collection states(grammar);
  tLR1Collection items(grammar, states);
  m_entries.resize(states.GetCount());
  for (size_t state = 0; state < states.GetCount(); ++state) {
    tList<tMachineEntry>& entries = m_entries[state];
    for (const tLR1Item& item : items[state]) {
      const tProduction* production = grammar[item.production];
      if (item.dot < production->GetCount()) continue;
      if (production->index == kEndSymbol) {
        entries.Append(tMachineEntry{item.lookahead, tMachineEntry::kAccept, 0});
      } else {
        entries.Append(tMachineEntry{item.lookahead, tMachineEntry::kReduce, production->index});
      }
    }
    for (const tGotoInfo& transition : states.GetTransitions(state)) {
      int kind = grammar.IsTerminal(transition.symbol) ? tMachineEntry::kShift : tMachineEntry::kGoto;
      entries.Append(tMachineEntry{transition.symbol, kind, transition.target});
    }
  }
}

bool tParser::SetActions(std::vector<tReduceAction> actions, std::vector<tValueDeleter> deleters,
                         void* context) {
  if (m_entries.empty()) return false;
  m_actions = std::move(actions);
  m_deleters = std::move(deleters);
  m_context = context;
  return true;
}

void tParser::FreeToken(std::unique_ptr<tToken> token) const {
  if (!token || !token->node) return;
  int slot = token->symbol - m_terminalCount;
  if (slot >= 0 && slot < m_nonterminalCount && static_cast<size_t>(slot) < m_deleters.size() &&
      m_deleters[static_cast<size_t>(slot)]) {
    m_deleters[static_cast<size_t>(slot)](token.get());
  }
}

void tParser::Reset() {
  m_states.RemoveAll();
  m_states.Push(0);
  while (!m_values.IsEmpty()) FreeToken(m_values.Pop());
}

const tMachineEntry* tParser::FindEntry(int state, int symbol) const {
  for (const tMachineEntry& entry : m_entries[static_cast<size_t>(state)]) {
    if (entry.symbol == symbol) return &entry;
  }
  return nullptr;
}

std::unique_ptr<tToken> tParser::Parse(std::istream& stream) {
  std::unique_ptr<tToken> accepted;
  bool ok = false;
  try {
    ok = ParseTokens(stream, &accepted);
  } catch (...) {
    Reset();
    throw;
  }
  if (!ok) {
    Reset();
    return nullptr;
  }
  return accepted;
}

bool tParser::ParseTokens(std::istream& stream, std::unique_ptr<tToken>* accepted) {
  if (m_entries.empty() || !m_lexer) return false;
  std::unique_ptr<tToken> lookahead = m_lexer->NextToken(stream);
  if (!lookahead) return false;
  int symbolCount = m_terminalCount + m_nonterminalCount;
  for (;;) {
    if (m_states.IsEmpty() || !IsValidState(m_states.Top())) return false;
    int symbol = lookahead->symbol;
    if ((symbol < 0 || symbol >= symbolCount) && symbol != kEndSymbol) return false;
    const tMachineEntry* entry = FindEntry(m_states.Top(), symbol);
    if (!entry) return false;  // syntax error
    if (!DoAction(*entry, stream, &lookahead, accepted)) return false;
    if (*accepted) return true;
  }
}

bool tParser::DoAction(const tMachineEntry& entry, std::istream& stream,
                       std::unique_ptr<tToken>* lookahead, std::unique_ptr<tToken>* accepted) {
  switch (entry.kind) {
    case tMachineEntry::kShift: return Shift(entry.target, stream, lookahead);
    case tMachineEntry::kReduce: return Reduce(entry.target);
    case tMachineEntry::kAccept: return Accept(lookahead, accepted);
    default: return false;
  }
}

bool tParser::Shift(int target, std::istream& stream, std::unique_ptr<tToken>* lookahead) {
  if (!IsValidState(target)) return false;
  m_values.Push(std::move(*lookahead));
  m_states.Push(target);
  *lookahead = m_lexer->NextToken(stream);
  return *lookahead != nullptr;
}

bool tParser::Reduce(int productionIndex) {
  if (productionIndex < 0 || static_cast<size_t>(productionIndex) >= m_productions.GetCount()) {
    return false;
  }
  const tProduction& production = *m_productions.Get(static_cast<size_t>(productionIndex));
  size_t count = production.rhs.size();
  if (m_values.GetCount() < count || m_states.GetCount() < count + 1) return false;
  tTokenGuard guard(*this);
  std::vector<std::unique_ptr<tToken>>& rhs = guard.Tokens();
  rhs.resize(count);
  for (size_t i = count; i-- > 0;) {
    rhs[i] = m_values.Pop();
    m_states.Pop();
    if (rhs[i]->symbol != production.rhs[i]) return false;
  }
  auto result = std::make_unique<tToken>();
  result->symbol = production.lhs;
  std::vector<tToken*> tokens;
  for (auto& token : rhs) tokens.push_back(token.get());
  size_t slot = static_cast<size_t>(productionIndex);
  bool built = true;
  if (slot < m_actions.size() && m_actions[slot]) {
    built = m_actions[slot](m_context, tokens.data(), result.get());
  }
  const tMachineEntry* entry = FindEntry(m_states.Top(), production.lhs);
  if (!built || !entry || entry->kind != tMachineEntry::kGoto || !IsValidState(entry->target)) {
    rhs.push_back(std::move(result));  // freed with the rest
    return false;
  }
  m_values.Push(std::move(result));
  m_states.Push(entry->target);
  return true;
}

bool tParser::Accept(std::unique_ptr<tToken>* lookahead, std::unique_ptr<tToken>* accepted) {
  lookahead->reset();
  m_states.Pop();
  if (m_states.IsEmpty() || m_states.Top() != 0 || m_values.GetCount() != 1) return false;
  *accepted = m_values.Pop();
  return true;
}
