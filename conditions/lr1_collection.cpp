// lr1_collection.cpp: FIRST sets, LR(1) closure, and the lookahead search:
// each kernel item is closed with a placeholder lookahead; real lookaheads
// found that way are spontaneous, the placeholder marks a propagation link.
#include "conditions/lr1_collection.h"

#include "conditions/lexer.h"

bool tLR1Collection::tLookaheads::Add(size_t index) {
  uint64_t bit = uint64_t{1} << (index % 64);
  uint64_t& word = m_words[index / 64];
  if (word & bit) return false;
  word |= bit;
  return true;
}

bool tLR1Collection::tLookaheads::Add(const tLookaheads& other) {
  bool changed = false;
  for (size_t i = 0; i < m_words.size() && i < other.m_words.size(); ++i) {
    uint64_t merged = m_words[i] | other.m_words[i];
    changed = changed || merged != m_words[i];
    m_words[i] = merged;
  }
  return changed;
}

tLR1Collection::tLR1Collection(const tAugmentedGrammar& grammar, const tLR0Collection& states)
    : m_grammar(grammar),
      m_states(states),
      m_denseCount(static_cast<size_t>(grammar.GetTerminalCount()) + 2) {
  size_t offset = 0;
  for (const tProduction* production : grammar) {
    m_itemOffset.push_back(offset);
    offset += static_cast<size_t>(production->GetCount()) + 1;
  }
  m_itemOffset.push_back(offset);
  ComputeFirstSets();
  DiscoverLookaheads();
  PropagateLookaheads();
  BuildItemSets();
}

size_t tLR1Collection::ToDense(int symbol) const {
  if (symbol == kEndSymbol) return m_denseCount - 2;
  if (symbol == kDummySymbol) return m_denseCount - 1;
  return static_cast<size_t>(symbol);
}

int tLR1Collection::FromDense(size_t index) const {
  if (index == m_denseCount - 2) return kEndSymbol;
  if (index == m_denseCount - 1) return kDummySymbol;
  return static_cast<int>(index);
}

// A fixpoint rather than recursion, so left-recursive nonterminals end too.
void tLR1Collection::ComputeFirstSets() {
  size_t count = static_cast<size_t>(m_grammar.GetNonterminalCount());
  m_first.assign(count, tLookaheads(m_denseCount));
  m_nullable.assign(count, false);
  int terminals = m_grammar.GetTerminalCount();
  for (bool changed = true; changed;) {
    changed = false;
    for (const tProduction* production : m_grammar) {
      size_t lhs = static_cast<size_t>(production->lhs - terminals);
      bool nullable = true;
      for (int symbol : production->rhs) {
        if (m_grammar.IsTerminal(symbol)) {
          changed = m_first[lhs].Add(static_cast<size_t>(symbol)) || changed;
          nullable = false;
          break;
        }
        size_t inner = static_cast<size_t>(symbol - terminals);
        changed = m_first[lhs].Add(m_first[inner]) || changed;
        if (!m_nullable[inner]) {
          nullable = false;
          break;
        }
      }
      if (nullable && !m_nullable[lhs]) {
        m_nullable[lhs] = true;
        changed = true;
      }
    }
  }
}

tLR1Collection::tLookaheads tLR1Collection::FirstOfRest(const tProduction& production, int from,
                                                        bool* nullable) const {
  tLookaheads first(m_denseCount);
  *nullable = true;
  for (size_t i = static_cast<size_t>(from); i < production.rhs.size(); ++i) {
    int symbol = production.rhs[i];
    if (m_grammar.IsTerminal(symbol)) {
      first.Add(static_cast<size_t>(symbol));
      *nullable = false;
      return first;
    }
    size_t inner = static_cast<size_t>(symbol - m_grammar.GetTerminalCount());
    first.Add(m_first[inner]);
    if (!m_nullable[inner]) {
      *nullable = false;
      return first;
    }
  }
  return first;
}

// [A -> a . B b, L] adds [B -> . g, FIRST(b L)] until nothing changes.
std::vector<tLR1Collection::tClosureItem> tLR1Collection::Closure(
    std::vector<tClosureItem> items) const {
  std::vector<int> slot(m_itemOffset.back(), -1);
  std::vector<size_t> work;
  std::vector<bool> queued;
  for (size_t i = 0; i < items.size(); ++i) {
    slot[m_itemOffset[items[i].production] + static_cast<size_t>(items[i].dot)] =
        static_cast<int>(i);
    work.push_back(i);
    queued.push_back(true);
  }
  while (!work.empty()) {
    size_t current = work.back();
    work.pop_back();
    queued[current] = false;
    const tProduction& production = *m_grammar[items[current].production];
    int dot = items[current].dot;
    if (dot >= production.GetCount()) continue;
    int next = production.rhs[static_cast<size_t>(dot)];
    if (!m_grammar.IsNonterminal(next)) continue;
    bool nullable = false;
    tLookaheads lookaheads = FirstOfRest(production, dot + 1, &nullable);
    if (nullable) lookaheads.Add(items[current].lookaheads);
    for (size_t added : m_grammar.GetProductionsOf(next)) {
      int& position = slot[m_itemOffset[added]];
      if (position < 0) {
        position = static_cast<int>(items.size());
        items.push_back(tClosureItem{added, 0, lookaheads});
        work.push_back(items.size() - 1);
        queued.push_back(true);
      } else if (items[static_cast<size_t>(position)].lookaheads.Add(lookaheads) &&
                 !queued[static_cast<size_t>(position)]) {
        work.push_back(static_cast<size_t>(position));
        queued[static_cast<size_t>(position)] = true;
      }
    }
  }
  return items;
}

void tLR1Collection::DiscoverLookaheads() {
  size_t stateCount = m_states.GetCount();
  m_kernelLookaheads.resize(stateCount);
  m_links.resize(stateCount);
  for (size_t state = 0; state < stateCount; ++state) {
    size_t kernelCount = m_states[state].GetKernelCount();
    m_kernelLookaheads[state].assign(kernelCount, tLookaheads(m_denseCount));
    m_links[state].resize(kernelCount);
  }
  size_t dummy = ToDense(kDummySymbol);
  for (size_t state = 0; state < stateCount; ++state) {
    const tLR0Set& set = m_states[state];
    for (size_t kernel = 0; kernel < set.GetKernelCount(); ++kernel) {
      tClosureItem start{set[kernel].production, set[kernel].dot, tLookaheads(m_denseCount)};
      start.lookaheads.Add(dummy);
      for (const tClosureItem& item : Closure({start})) {
        const tProduction& production = *m_grammar[item.production];
        if (item.dot >= production.GetCount()) continue;
        int target = m_states.GetTransitions(state).GetTarget(
            production.rhs[static_cast<size_t>(item.dot)]);
        if (target < 0) continue;
        size_t moved = m_states[static_cast<size_t>(target)].FindKernelItem(
            tLR0Item{item.production, item.dot + 1});
        if (moved == tList<tLR0Item>::kNotFound) continue;
        tLookaheads spontaneous = item.lookaheads;
        if (item.lookaheads.Has(dummy)) {
          m_links[state][kernel].Append(tGotoWhere{static_cast<size_t>(target), moved});
        }
        m_kernelLookaheads[static_cast<size_t>(target)][moved].Add(spontaneous);
      }
    }
  }
  // The placeholder was carried along with the spontaneous ones: drop it.
  for (auto& stateLookaheads : m_kernelLookaheads) {
    for (tLookaheads& lookaheads : stateLookaheads) {
      tLookaheads clean(m_denseCount);
      for (size_t i = 0; i + 1 < m_denseCount; ++i) {
        if (lookaheads.Has(i)) clean.Add(i);
      }
      lookaheads = clean;
    }
  }
}

void tLR1Collection::PropagateLookaheads() {
  if (m_kernelLookaheads.empty() || m_kernelLookaheads[0].empty()) return;
  m_kernelLookaheads[0][0].Add(ToDense(kEndSymbol));
  for (bool changed = true; changed;) {
    changed = false;
    for (size_t state = 0; state < m_links.size(); ++state) {
      for (size_t kernel = 0; kernel < m_links[state].size(); ++kernel) {
        for (const tGotoWhere& link : m_links[state][kernel]) {
          const tLookaheads& from = m_kernelLookaheads[state][kernel];
          changed = m_kernelLookaheads[link.state][link.item].Add(from) || changed;
        }
      }
    }
  }
}

void tLR1Collection::BuildItemSets() {
  for (size_t state = 0; state < m_states.GetCount(); ++state) {
    const tLR0Set& set = m_states[state];
    std::vector<tClosureItem> kernel;
    for (size_t k = 0; k < set.GetKernelCount(); ++k) {
      kernel.push_back(tClosureItem{set[k].production, set[k].dot, m_kernelLookaheads[state][k]});
    }
    tLR1Set items;
    for (const tClosureItem& item : Closure(std::move(kernel))) {
      for (size_t i = 0; i < m_denseCount; ++i) {
        if (item.lookaheads.Has(i)) items.Append(tLR1Item{item.production, item.dot, FromDense(i)});
      }
    }
    Append(std::move(items));
  }
}
