#pragma once
// registry_search.h: finds a value somewhere below a registry key, for
// conditions that name a product's key but not where the value sits.
#include <windows.h>

#include <string>

// Searches "SOFTWARE\<keyPath>" (the prefix is added unless the path starts
// with it) under HKEY_LOCAL_MACHINE, then HKEY_CURRENT_USER.
BOOL FindRegistryValue(const std::wstring& keyPath, const std::wstring& valueName,
                       std::wstring* value);

// The trimmed text value in the key, else the first one found depth first
// through its subkeys. An empty value name means "BuildOEM".
BOOL FindRegistryValueRecursive(HKEY root, const std::wstring& subkey,
                                const std::wstring& valueName, std::wstring* value);
