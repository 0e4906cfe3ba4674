#pragma once
// message_box.h: every message box of the engine goes through one
// replaceable function, so unattended runs and tests can answer them.
#include <windows.h>

using MessageBoxFunction = int(WINAPI*)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style);

// Shows a box and returns the button id.
int WINAPI ShowMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style);

// Null puts the system's box back.
void SetMessageBoxImplementation(MessageBoxFunction function);
