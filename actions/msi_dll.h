#pragma once
// msi_dll.h: a second, separately loaded copy of the system's MSI.DLL, kept
// for the process, to learn the Windows Installer's version.
#include <windows.h>
#include <shlwapi.h>

// Loads MSI.DLL from the system folder once; true when it is loaded.
bool LoadMsiDll();
// DllGetVersion of that copy; `info` (may be null) gets the whole record.
bool GetMsiDllVersion(DLLVERSIONINFO* info);
// Frees the copy when it is loaded; the next LoadMsiDll loads it again.
void UnloadMsiDll();
