#pragma once
// dcf_values.h: reading single values and comma-separated lists from the
// suite's configuration file.
#include <string>
#include <vector>

class CKwIniFile;

// A missing key gives the default.
std::wstring ReadDcfValue(const CKwIniFile& configuration, const std::wstring& section,
                          const std::wstring& key, const std::wstring& defaultValue = std::wstring());
// A comma-separated list, ending at its first empty item; with a prefix
// each item becomes "prefix.item". False when the key has no value.
bool ReadValueList(const CKwIniFile& configuration, const std::wstring& section,
                   const std::wstring& key, std::vector<std::wstring>* list,
                   const std::wstring& prefix = std::wstring());
