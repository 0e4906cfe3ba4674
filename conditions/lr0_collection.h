#pragma once
// lr0_collection.h: the canonical collection of LR(0) item sets of an
// augmented grammar, with the goto transitions between its states. Its
// states are the states of the LALR(1) parser.

#include <cstddef>
#include <vector>

#include "conditions/containers.h"
#include "conditions/grammar.h"

struct tLR0Item {
  size_t production = 0;  // position in the augmented grammar
  int dot = 0;

  bool operator==(const tLR0Item& other) const {
    return production == other.production && dot == other.dot;
  }
  bool operator<(const tLR0Item& other) const {
    return production != other.production ? production < other.production : dot < other.dot;
  }
};

// One state: its kernel items first, then the items closure added. Two sets
// are equal when their kernels are, since the kernel decides the closure.
class tLR0Set : public tSet<tLR0Item> {
 public:
  void SetKernel(const std::vector<tLR0Item>& kernel);
  void Close(const tAugmentedGrammar& grammar);
  size_t GetKernelCount() const { return m_kernelCount; }
  // Position of `item` among the kernel items, or tList::kNotFound.
  size_t FindKernelItem(const tLR0Item& item) const;

  bool operator==(const tLR0Set& other) const { return m_key == other.m_key; }

 private:
  size_t m_kernelCount = 0;
  std::vector<tLR0Item> m_key;  // the kernel, sorted
};

struct tGotoInfo {
  int symbol = 0;
  int target = 0;

  bool operator==(const tGotoInfo& other) const {
    return symbol == other.symbol && target == other.target;
  }
};

// The transitions of one state, in the order they were found.
class tGotoTableInfo : public tList<tGotoInfo> {
 public:
  // Target state on `symbol`, or -1.
  int GetTarget(int symbol) const;
};

class tLR0Collection : public tSet<tLR0Set> {
 public:
  // State 0 is the closure of the start item. States are expanded in order of
  // creation, each on every symbol from the highest down to 0.
  explicit tLR0Collection(const tAugmentedGrammar& grammar);

  const tGotoTableInfo& GetTransitions(size_t state) const { return m_transitions[state]; }

 private:
  std::vector<tGotoTableInfo> m_transitions;
};
