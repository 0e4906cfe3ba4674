#pragma once
// list_match.h: whether a value is accepted by a ";"-separated list of
// entries such as "ENU;DEU" or the excluding form "~ENU;DEU".
#include <windows.h>

#include <string>

// An empty list accepts everything, an empty value nothing. Entries are
// compared case-blind; a leading "~" turns the answer round.
BOOL MatchSemicolonList(const std::wstring& value, const std::wstring& list);
