#pragma once
// registry_search.h: finds a value somewhere below a registry key, for
// conditions that name a product's key but not where the value sits, and
// opens the machine's keys that decide what an elevated run removes or starts.
#include <windows.h>

#include <string>

#include "foundation/registry_key.h"

// Opens `subkey` under HKEY_LOCAL_MACHINE only. Any program of the user may
// write HKEY_CURRENT_USER: a key found only there is logged and counts as
// missing, so it never decides what an elevated run removes or starts.
bool OpenMachineKey(const std::wstring& subkey, REGSAM access, CRegistryKey* key);

// Searches "SOFTWARE\<keyPath>" (the prefix is added unless the path starts
// with it) under HKEY_LOCAL_MACHINE only, for the same reason; a value found
// only under HKEY_CURRENT_USER is logged and counts as missing.
BOOL FindRegistryValue(const std::wstring& keyPath, const std::wstring& valueName,
                       std::wstring* value);

// The trimmed text value in the key, else the first one found depth first
// through its subkeys. An empty value name means "BuildOEM".
BOOL FindRegistryValueRecursive(HKEY root, const std::wstring& subkey,
                                const std::wstring& valueName, std::wstring* value);
