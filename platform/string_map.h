#pragma once
// string_map.h: the program's string-to-string map (properties, macros),
// keyed by exact, case-sensitive names.

#include <map>
#include <string>

using CMapStringToString = std::map<std::wstring, std::wstring>;
