#pragma once
// window_utils.h: window chores: placing another program's windows, and
// fonts from a text spec.
#include <windows.h>

#include <string>

const DWORD kPlaceWindowTimeout = 20000;

// Waits up to `timeoutMilliseconds`, in one-second steps, for a top-level
// window of the class, then moves it to 0,0 with the given size, and likewise
// the following windows of the class up to one that has a child of that
// class. False (ERROR_TIMEOUT) when no window appeared.
BOOL PlaceWindowOfClass(const wchar_t* className, int width, int height,
                        DWORD timeoutMilliseconds = kPlaceWindowTimeout);

// A font from "face<sep>style<sep>points" ("Tahoma,Bold,8"; `separators` null
// means ","). Style "Bold" gives bold; the height follows the device's
// vertical resolution, or `dpi` when one is given (a layout drawn smaller
// than the screen's). Null (ERROR_INVALID_PARAMETER) for a malformed spec.
// The caller owns the font (DeleteObject).
HFONT CreateFontFromSpec(HDC dc, const std::wstring& spec, const wchar_t* separators = nullptr, int dpi = 0);
