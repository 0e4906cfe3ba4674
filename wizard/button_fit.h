#pragma once
// button_fit.h: a push button whose text is wider than the button, as a
// translation can be on the system's fixed-size sheet buttons.
#include <windows.h>

#include <string>

// Grows `button` to the left until its text fits in its font; `neighbour`
// (the button against its left edge, or null) moves left with it so the
// two do not overlap. Nothing changes when the text fits.
void WidenButtonToText(HWND button, HWND neighbour);

// The width a push button needs for `text` in `font` (its frame included).
int ButtonWidthForText(HDC dc, HFONT font, const std::wstring& text);
