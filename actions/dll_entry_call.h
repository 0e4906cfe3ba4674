#pragma once
// dll_entry_call.h: calls an entry point of a DLL that the suite ships, whose
// calling convention we cannot know and whose faults must not end the setup.
#include <windows.h>

#include <string>

// Calls `entry(argument)`. True with the entry's 32-bit result; false with
// the code of a structured exception (an access violation, a C++ exception
// of another compiler's runtime) that the entry raised and did not handle
// itself. The stack pointer is restored after the call, so a cdecl and a
// stdcall entry both return cleanly.
bool CallDllEntry(FARPROC entry, void* argument, DWORD* result, DWORD* exceptionCode);

// The export named in the thread's ANSI code page, as the loader knows it;
// null with the last error set when the module lacks it.
FARPROC FindDllEntry(HMODULE module, const std::wstring& name);
