#pragma once
// window_utils.h: process and window chores: the single-instance mutex of a
// setup, placing another program's windows, and fonts from a text spec.
#include <windows.h>

#include <string>

#include "foundation/scoped_handle.h"

// Creates and owns the mutex "Global\SETUP <name>", every backslash of the name
// turned into "_". Empty when another process already holds it (last error
// ERROR_ALREADY_EXISTS), when creation fails, or when `name` is null.
CScopedHandle CreateSingleInstanceMutex(const wchar_t* name);

const DWORD kPlaceWindowTimeout = 20000;

// Waits up to `timeoutMilliseconds`, in one-second steps, for a top-level
// window of the class, then moves it to 0,0 with the given size, and likewise
// the following windows of the class up to one that has a child of that
// class. False (ERROR_TIMEOUT) when no window appeared.
BOOL PlaceWindowOfClass(const wchar_t* className, int width, int height,
                        DWORD timeoutMilliseconds = kPlaceWindowTimeout);

// A font from "face<sep>style<sep>points" ("Tahoma,Bold,8"; `separators` null
// means ","). Style "Bold" gives bold; the height follows the device's
// vertical resolution. Null (ERROR_INVALID_PARAMETER) for a malformed spec.
// The caller owns the font (DeleteObject).
HFONT CreateFontFromSpec(HDC dc, const std::wstring& spec, const wchar_t* separators = nullptr);
