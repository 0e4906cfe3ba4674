#pragma once
// system_dlls.h: where this process takes Windows' own DLLs from: the system
// folder, never the program's folder (a downloads folder, a cache others can
// write to) nor the current one.
#include <windows.h>

#include <string>

// Restricts the DLL search of the whole process to the system folder where
// Windows offers it, else takes at least the current folder out of it. Runs
// first at start-up, before any DLL is loaded by name.
void RestrictDllSearchToSystemFolder();

// `name` in the system folder; empty when Windows cannot give the folder.
std::wstring SystemFolderPath(const std::wstring& name);

// Loads a DLL of Windows: the one the process's activation context names for
// it (the common controls 6 of the manifest), else the system folder's copy by
// its full path, whose own imports are then looked for in the system folder.
// Null when it cannot be loaded.
HMODULE LoadSystemDll(const std::wstring& name);
