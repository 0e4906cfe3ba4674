#pragma once
// lr1_collection.h: the LALR(1) lookaheads of every state of an LR(0)
// collection, found by spontaneous generation and propagation, and each
// state's items with their lookaheads.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "conditions/containers.h"
#include "conditions/grammar.h"
#include "conditions/lr0_collection.h"

struct tLR1Item {
  size_t production = 0;  // position in the augmented grammar
  int dot = 0;
  int lookahead = 0;      // a terminal or kEndSymbol

  bool operator==(const tLR1Item& other) const {
    return production == other.production && dot == other.dot && lookahead == other.lookahead;
  }
};

class tLR1Set : public tSet<tLR1Item> {};

// A propagation link: lookaheads of a kernel item flow to this kernel item.
struct tGotoWhere {
  size_t state = 0;
  size_t item = 0;

  bool operator==(const tGotoWhere& other) const {
    return state == other.state && item == other.item;
  }
};

class tLR1Collection : public tSet<tLR1Set> {
 public:
  // One tLR1Set per state of `states`, in state order.
  tLR1Collection(const tAugmentedGrammar& grammar, const tLR0Collection& states);

  // Lookahead symbols as small dense numbers: terminals as themselves, then
  // the end symbol and the placeholder.
  class tLookaheads {
   public:
    explicit tLookaheads(size_t size = 0) : m_words((size + 63) / 64) {}
    bool Add(size_t index);
    bool Add(const tLookaheads& other);  // true when anything was new
    bool Has(size_t index) const { return (m_words[index / 64] >> (index % 64)) & 1u; }
    size_t GetSize() const { return m_words.size() * 64; }

   private:
    std::vector<uint64_t> m_words;
  };

 private:
  struct tClosureItem {
    size_t production;
    int dot;
    tLookaheads lookaheads;
  };

  void ComputeFirstSets();
  // FIRST of rhs[from..] of a production; *nullable when all of it can vanish.
  tLookaheads FirstOfRest(const tProduction& production, int from, bool* nullable) const;
  std::vector<tClosureItem> Closure(std::vector<tClosureItem> items) const;
  void DiscoverLookaheads();
  void PropagateLookaheads();
  void BuildItemSets();

  size_t ToDense(int symbol) const;
  int FromDense(size_t index) const;

  const tAugmentedGrammar& m_grammar;
  const tLR0Collection& m_states;
  size_t m_denseCount;
  std::vector<tLookaheads> m_first;  // per nonterminal
  std::vector<bool> m_nullable;      // per nonterminal
  std::vector<size_t> m_itemOffset;  // per production: first slot of its items
  // Per state and kernel item: its lookaheads and its propagation links.
  std::vector<std::vector<tLookaheads>> m_kernelLookaheads;
  std::vector<std::vector<tList<tGotoWhere>>> m_links;
};
