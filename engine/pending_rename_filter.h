#pragma once
// pending_rename_filter.h: takes a suite's own entries out of the list of
// renames Windows runs at the next start, leaving everyone else's alone.
#include <string>
#include <vector>

// The list comes in pairs (source, target). A pair whose source or target
// holds `suiteId` (case-blind) goes as a whole; the other pairs, and an
// unpaired last entry (a deletion whose empty target the registry read
// dropped) is such a pair with an empty target. True when a pair went; the
// list then ends in a whole pair. An empty id takes nothing out.
bool RemoveSuitePendingRenames(const std::wstring& suiteId, std::vector<std::wstring>* entries);
