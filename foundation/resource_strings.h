#pragma once
// resource_strings.h: texts of the program's string table.
#include <windows.h>

#include <string>

// The string with this id from the running program's resources; empty when
// it has none.
std::wstring LoadResourceString(UINT id);
// The string from the block of 16 that holds `id`, in `language` only.
bool LoadStringInLanguage(UINT id, LANGID language, std::wstring* text);
