#pragma once
// window_text.h: a window's text as a wide string.
#include <windows.h>

#include <string>

std::wstring GetWindowTextString(HWND window);
