#pragma once
// window_text.h: a window's text as a wide string, and the reading order of
// controls whose text is not in the interface's script.
#include <windows.h>

#include <string>

std::wstring GetWindowTextString(HWND window);

// A control holding paths, file names or window titles reads them left to
// right in a mirrored dialog too: it leaves its parent's mirroring and
// right-to-left reading. Nothing changes in a dialog laid out left to right.
void KeepLeftToRightReading(HWND control);
