// lr0_collection.cpp: closure and goto over LR(0) item sets, and the
// canonical collection in the order the parser's state numbers follow.
#include "conditions/lr0_collection.h"

#include <algorithm>

void tLR0Set::SetKernel(const std::vector<tLR0Item>& kernel) {
  RemoveAll();
  for (const tLR0Item& item : kernel) Insert(item);
  m_kernelCount = GetCount();
  m_key.assign(begin(), end());
  std::sort(m_key.begin(), m_key.end());
}

void tLR0Set::Close(const tAugmentedGrammar& grammar) {
  for (size_t i = 0; i < GetCount(); ++i) {
    tLR0Item item = (*this)[i];
    const tProduction* production = grammar[item.production];
    if (item.dot >= production->GetCount()) continue;
    for (size_t added : grammar.GetProductionsOf(production->rhs[static_cast<size_t>(item.dot)])) {
      Insert(tLR0Item{added, 0});
    }
  }
}

size_t tLR0Set::FindKernelItem(const tLR0Item& item) const {
  for (size_t i = 0; i < m_kernelCount; ++i) {
    if ((*this)[i] == item) return i;
  }
  return kNotFound;
}

int tGotoTableInfo::GetTarget(int symbol) const {
  for (const tGotoInfo& info : *this) {
    if (info.symbol == symbol) return info.target;
  }
  return -1;
}

tLR0Collection::tLR0Collection(const tAugmentedGrammar& grammar) {
  tLR0Set start;
  start.SetKernel({tLR0Item{0, 0}});
  start.Close(grammar);
  Append(std::move(start));
  m_transitions.emplace_back();
  // The augmented start symbol never follows a dot: it is not tried.
  int highestSymbol = grammar.GetSymbolCount() - 2;
  for (size_t state = 0; state < GetCount(); ++state) {
    for (int symbol = highestSymbol; symbol >= 0; --symbol) {
      std::vector<tLR0Item> kernel;
      for (const tLR0Item& item : (*this)[state]) {
        const tProduction* production = grammar[item.production];
        if (item.dot < production->GetCount() &&
            production->rhs[static_cast<size_t>(item.dot)] == symbol) {
          kernel.push_back(tLR0Item{item.production, item.dot + 1});
        }
      }
      if (kernel.empty()) continue;
      tLR0Set next;
      next.SetKernel(kernel);
      size_t target = Find(next);
      if (target == kNotFound) {
        next.Close(grammar);
        Append(std::move(next));
        m_transitions.emplace_back();
        target = GetCount() - 1;
      }
      m_transitions[state].Append(tGotoInfo{symbol, static_cast<int>(target)});
    }
  }
}
