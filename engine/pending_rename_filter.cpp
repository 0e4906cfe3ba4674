// pending_rename_filter.cpp: the suite's pairs out of the pending renames.
#include "engine/pending_rename_filter.h"

#include "platform/wide_string.h"

bool RemoveSuitePendingRenames(const std::wstring& suiteId, std::vector<std::wstring>* entries) {
  if (suiteId.empty() || !entries) return false;
  std::vector<std::wstring> kept;
  kept.reserve(entries->size());
  bool removed = false;
  // Walked in whole pairs: dropping a single entry would turn every later
  // pair of other programs into a wrong move or deletion.
  size_t i = 0;
  for (; i + 1 < entries->size(); i += 2) {
    const std::wstring& source = (*entries)[i];
    const std::wstring& target = (*entries)[i + 1];
    if (ContainsNoCase(source, suiteId) || ContainsNoCase(target, suiteId)) {
      removed = true;
      continue;
    }
    kept.push_back(source);
    kept.push_back(target);
  }
  // The registry read drops the empty target of a last deletion: an
  // unpaired last entry is that deletion.
  if (i < entries->size()) {
    if (ContainsNoCase((*entries)[i], suiteId)) removed = true;
    else kept.push_back((*entries)[i]);
  }
  // Written back in whole pairs, the last deletion's empty target restored.
  if (kept.size() % 2 != 0) kept.push_back(std::wstring());
  if (removed) entries->swap(kept);
  return removed;
}
