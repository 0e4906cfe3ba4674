#pragma once
// wow64.h: whether this 32-bit process runs on 64-bit Windows, asked once
// per process, and the run-time export lookup the question needs on systems
// that may lack the call.
#include <windows.h>

#include <string>

// TRUE when this 32-bit process runs on 64-bit Windows. FALSE when the system
// cannot tell (no IsWow64Process, or the call fails).
BOOL IsWow64();

// The export of a DLL loaded by its path, or null when the file is missing,
// does not load or lacks the export. The library stays loaded, so the address
// stays valid.
FARPROC GetProcAddressFromFile(const std::wstring& dllPath, const char* exportName);
